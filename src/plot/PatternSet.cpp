#include "plot/PatternSet.h"

#include <QLocale>

#include <charconv>
#include <cmath>

namespace zorvane::plot {

QString PatternSet::Error::text() const
{
    return QStringLiteral("line %1, position %2: %3").arg(line).arg(column).arg(message);
}

void PatternSet::setText(const QString &text)
{
    m_text = text;
    m_patterns.clear();
    m_errors.clear();
    m_names.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString source = lines[n];
        if (source.endsWith(QLatin1Char('\r')))
            source.chop(1);
        if (source.trimmed().isEmpty())
            continue;
        const bool first = m_patterns.isEmpty() && m_errors.isEmpty();
        QRegularExpression expression(source);
        if (!expression.isValid()) {
            m_errors.append(
                {int(n + 1), int(expression.patternErrorOffset() + 1), expression.errorString()});
            continue;
        }
        // Compiled now, not at the first received line.
        expression.optimize();
        Pattern pattern{expression, {}};
        const QStringList groupNames = expression.namedCaptureGroups();
        for (int group = 1; group <= expression.captureCount(); ++group) {
            QString name = group < groupNames.size() ? groupNames[group] : QString();
            if (name.isEmpty())
                name =
                    first ? QString::number(group) : QStringLiteral("%1:%2").arg(n + 1).arg(group);
            qsizetype index = m_names.indexOf(name);
            if (index < 0) {
                index = m_names.size();
                m_names.append(name);
            }
            pattern.series.append(index);
        }
        m_patterns.append(pattern);
    }
}

void PatternSet::match(QStringView line, const std::function<void(qsizetype, double)> &value,
                       bool fromLatin1) const
{
    // Text widened from Latin-1 holds no surrogates: no need to check it for broken ones.
    const auto options = fromLatin1 ? QRegularExpression::DontCheckSubjectStringMatchOption
                                    : QRegularExpression::NoMatchOption;
    for (const Pattern &pattern : m_patterns) {
        const QRegularExpressionMatch found =
            pattern.expression.match(line, 0, QRegularExpression::NormalMatch, options);
        if (!found.hasMatch())
            continue;
        for (qsizetype group = 0; group < pattern.series.size(); ++group) {
            if (const auto number = PatternSet::number(found.capturedView(int(group + 1))))
                value(pattern.series[group], *number);
        }
    }
}

std::optional<double> PatternSet::number(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // The usual case first, without a locale: plain ASCII digits, sign, point and exponent.
    if (text.size() < 64) {
        char ascii[64];
        qsizetype n = 0;
        bool plain = true;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            plain = plain && ((u >= '0' && u <= '9') || u == '.' || u == '-' || u == '+' ||
                              u == 'e' || u == 'E');
            ascii[n++] = char(u);
        }
        const char *from = ascii;
        if (plain && n > 1 && ascii[0] == '+' && ascii[1] != '-')
            ++from;
        double value = 0;
        const auto [end, error] = std::from_chars(from, ascii + n, value);
        if (plain && error == std::errc() && end == ascii + n)
            return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }
    // "1,000" is not a thousand here: the comma below is a decimal point or nothing.
    static const QLocale c = [] {
        QLocale locale = QLocale::c();
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        return locale;
    }();
    bool ok = false;
    double value = c.toDouble(text, &ok);
    if (!ok && text.count(QLatin1Char(',')) == 1 && !text.contains(QLatin1Char('.'))) {
        // A module that prints with a decimal comma: "21,37".
        QString dotted = text.toString();
        dotted.replace(QLatin1Char(','), QLatin1Char('.'));
        value = c.toDouble(dotted, &ok);
    }
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace zorvane::plot
