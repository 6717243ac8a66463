#include "NetworkTarget.h"

#include <QUrl>
#include <QUrlQuery>

namespace zorvane::serial::network {

namespace {

const QString kRfc2217 = QStringLiteral("rfc2217://");
const QString kSocket = QStringLiteral("socket://");

std::optional<NetworkTarget> fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return std::nullopt;
}

} // namespace

bool isNetworkTarget(const QString &text)
{
    return text.startsWith(kRfc2217, Qt::CaseInsensitive) ||
           text.startsWith(kSocket, Qt::CaseInsensitive);
}

std::optional<NetworkTarget> parseNetworkTarget(const QString &text, QString *error)
{
    if (!isNetworkTarget(text))
        return fail(error, QStringLiteral("not a network port: %1").arg(text));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return fail(error, QStringLiteral("not a valid host:port in %1").arg(text));
    if (!url.path().isEmpty() || !url.userInfo().isEmpty() || url.hasFragment())
        return fail(error, QStringLiteral("only host:port may follow the scheme in %1").arg(text));
    if (url.port() < 1)
        return fail(error, QStringLiteral("no port number in %1").arg(text));

    NetworkTarget target;
    target.scheme = text.startsWith(kSocket, Qt::CaseInsensitive) ? NetworkTarget::Scheme::Socket
                                                                  : NetworkTarget::Scheme::Rfc2217;
    target.host = url.host();
    target.port = quint16(url.port());

    const QUrlQuery query(url);
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (name == QLatin1String("ign_set_control") &&
            target.scheme == NetworkTarget::Scheme::Rfc2217 && value.isEmpty()) {
            target.ignoreSetControl = true;
        } else if (name == QLatin1String("timeout")) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (!ok || !(seconds > 0) || seconds > 3600)
                return fail(error, QStringLiteral("timeout must be a number of seconds, "
                                                  "above 0 and at most 3600, in %1")
                                       .arg(text));
            target.timeoutMs = qMax(1, int(seconds * 1000));
        } else {
            return fail(error, QStringLiteral("unknown option \"%1\" in %2").arg(name, text));
        }
    }
    return target;
}

QString hostAndPort(const NetworkTarget &target)
{
    const QString host = target.host.contains(QLatin1Char(':'))
                             ? QStringLiteral("[%1]").arg(target.host)
                             : target.host;
    return QStringLiteral("%1:%2").arg(host).arg(target.port);
}

} // namespace zorvane::serial::network
