// One file send on the module session: the sender's bytes go to the port, the port's bytes
// (a protocol's answers) to the sender, and the list tells when it started and how it ended.
#include "transfer/FileSend.h"

#include "session/ModuleSession.h"
#include "terminal/MuxFrame.h"
#include "transfer/PacedSender.h"
#include "transfer/XmodemSender.h"

#include <QDebug>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTimer>

namespace zorvane::transfer {

namespace {
// ZMODEM's abort: the receiver gives up after five CANs in a row; a few more for noise.
constexpr int kZmodemAbortCans = 8;
// sz's last words are kept for the end line; its progress chatter is not.
constexpr qsizetype kZmodemSaidBytes = 512;

QString grouped(qint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

XmodemVariant variantOf(Method method)
{
    switch (method) {
    case Method::Xmodem1K:
        return XmodemVariant::Xmodem1K;
    case Method::Ymodem:
        return XmodemVariant::Ymodem;
    default:
        return XmodemVariant::Xmodem;
    }
}
} // namespace

FileSend::FileSend(session::ModuleSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &FileSend::onTimer);
    // A window destroys its session before the children it gave this send to.
    connect(&m_session, &QObject::destroyed, this, [this] {
        m_sessionGone = true;
        m_running = false;
    });
    m_progressDue = new QTimer(this);
    m_progressDue->setSingleShot(true);
    connect(m_progressDue, &QTimer::timeout, this, [this] {
        if (m_running)
            reportProgress(true);
    });
}

FileSend::~FileSend()
{
    if (m_running && !m_sessionGone) {
        m_session.setReceiveDiversion({});
        disconnect(m_promptWatch);
    }
    if (m_zmodem) {
        m_zmodem->disconnect(this);
        m_zmodem->kill();
        m_zmodem->waitForFinished(1000);
    }
}

QByteArray FileSend::lineEnd() const
{
    // The line end chosen for the port (CR while it is "Module").
    return m_session.lineEndBytes();
}

double FileSend::lineBytesPerMs() const
{
    const serial::LineSettings line = m_session.serial().lastRequested();
    if (line.baudRate <= 0)
        return Pacing().lineBytesPerMs;
    const int bits = 1 + line.dataBits + (line.parity != 0 ? 1 : 0) + line.stopBits;
    return double(line.baudRate) / bits / 1000.0;
}

bool FileSend::start(const TransferRequest &request, QString *why)
{
    const auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (m_running)
        return refuse(QStringLiteral("A file is being sent already."));
    if (const QString reason = unreadableReason(request.path); !reason.isEmpty())
        return refuse(reason);
    if (!m_session.serial().holdsDevice())
        return refuse(QStringLiteral("No port is open."));
    m_file.setFileName(request.path);
    if (!m_file.open(QIODevice::ReadOnly))
        return refuse(
            QStringLiteral("%1 cannot be read: %2").arg(request.path, m_file.errorString()));

    m_request = request;
    m_name = QFileInfo(request.path).fileName();
    m_size = m_file.size();
    m_endLine.clear();
    m_running = true;
    m_lastProgressMs = -kProgressEveryMs;
    m_clock.start();
    m_session.addNote(QStringLiteral("%1: sending %2, %3 bytes")
                          .arg(methodName(request.method), m_name, grouped(m_size)));

    if (request.method == Method::Zmodem) {
        startZmodem();
        return true;
    }
    if (isProtocol(request.method)) {
        m_sender =
            std::make_unique<XmodemSender>(variantOf(request.method), &m_file, m_size, m_name);
    } else {
        Pacing pacing;
        pacing.characterDelayMs = qMax(0, request.characterDelayMs);
        pacing.lineDelayMs = qMax(0, request.lineDelayMs);
        pacing.waitFor = request.waitFor.toLatin1();
        pacing.lineBytesPerMs = lineBytesPerMs();
        // In the multiplexing mode a line goes to the selected link, as the send box's do.
        const auto wire = [this](QByteArrayView bytes) {
            if (!m_session.options().muxMode)
                return bytes.toByteArray();
            return terminal::MuxFrame::frames(m_session.muxLink(), bytes);
        };
        const auto mode =
            request.method == Method::Raw ? PacedSender::Mode::Raw : PacedSender::Mode::TextLines;
        m_sender = std::make_unique<PacedSender>(mode, &m_file, m_size, pacing, lineEnd(), wire);
    }
    if (m_sender->takesReceivedBytes())
        m_session.setReceiveDiversion([this](QByteArrayView bytes) { onReceived(bytes); });
    else if (!request.waitFor.isEmpty())
        // The session's own copy of each read: the list still gets every byte.
        m_promptWatch = connect(&m_session, &session::ModuleSession::bytesReceived, this,
                                [this](const QByteArray &bytes) { onReceived(bytes); });
    write(m_sender->start(nowMs()));
    afterStep();
    return true;
}

void FileSend::onReceived(QByteArrayView bytes)
{
    if (!m_running)
        return;
    if (m_zmodem) {
        m_zmodem->write(bytes.data(), bytes.size());
        return;
    }
    write(m_sender->received(bytes, nowMs()));
    afterStep();
}

void FileSend::onTimer()
{
    if (!m_running)
        return;
    if (!m_session.serial().holdsDevice()) {
        end(false, QStringLiteral("the port was closed"));
        return;
    }
    if (m_zmodem) {
        reportProgress(false);
        m_timer->start(kPortCheckMs);
        return;
    }
    write(m_sender->timePassed(nowMs()));
    afterStep();
}

void FileSend::write(const QByteArray &bytes)
{
    if (!bytes.isEmpty() && m_session.serial().holdsDevice())
        m_session.serial().writeBytes(bytes);
}

void FileSend::afterStep()
{
    if (!m_running)
        return;
    if (m_sender->state() != Sender::State::Running) {
        end(m_sender->state() == Sender::State::Done, m_sender->failure());
        return;
    }
    reportProgress(false);
    schedule();
}

void FileSend::schedule()
{
    const qint64 deadline = qMin(m_sender->deadlineMs(), nowMs() + kPortCheckMs);
    m_timer->start(int(qMax<qint64>(0, deadline - nowMs())));
}

void FileSend::cancel()
{
    if (!m_running)
        return;
    if (m_zmodem) {
        m_zmodem->disconnect(this);
        m_zmodem->kill();
        write(QByteArray(kZmodemAbortCans, XmodemSender::kCan));
        end(false, QStringLiteral("cancelled"));
        return;
    }
    write(m_sender->cancel(nowMs()));
    // A protocol may first wait for the answer to its block in flight.
    afterStep();
}

void FileSend::end(bool ok, const QString &why)
{
    m_running = false;
    m_timer->stop();
    m_progressDue->stop();
    m_session.setReceiveDiversion({});
    disconnect(m_promptWatch);
    const Progress last = progress();
    const qint64 ms = nowMs();
    if (m_zmodem) {
        m_zmodem->disconnect(this);
        if (m_zmodem->state() != QProcess::NotRunning) {
            m_zmodem->kill();
            connect(m_zmodem, &QProcess::finished, m_zmodem, &QObject::deleteLater);
        } else {
            m_zmodem->deleteLater();
        }
        m_zmodem = nullptr;
    }
    m_sender.reset();
    m_file.close();
    const QString method = methodName(m_request.method);
    if (ok) {
        const double seconds = qMax<qint64>(ms, 1) / 1000.0;
        m_endLine = QStringLiteral("%1: %2 sent, done in %3 s at %4 bytes/s")
                        .arg(method, m_name, QString::number(seconds, 'f', 1),
                             grouped(qint64(double(m_size) / seconds)));
    } else {
        m_endLine = QStringLiteral("%1: %2 not sent: %3 (%4 of %5 bytes)")
                        .arg(method, m_name, why, grouped(last.done), grouped(m_size));
    }
    m_session.addNote(m_endLine);
    emit progressChanged();
    emit finished(ok);
}

FileSend::Progress FileSend::progress() const
{
    Progress p;
    p.total = m_size;
    if (m_sender)
        p.done = m_sender->bytesDone();
    else if (m_running)
        p.done = qMin(m_zmodemWireBytes, m_size);
    else
        p.done = m_size;
    const qint64 ms = m_clock.isValid() ? m_clock.elapsed() : 0;
    if (ms > 0 && p.done > 0) {
        p.bytesPerSecond = double(p.done) * 1000.0 / double(ms);
        p.secondsLeft = qint64((p.total - p.done) / p.bytesPerSecond + 0.5);
    }
    return p;
}

QString FileSend::progressText(const Progress &p)
{
    QString text = QStringLiteral("%1 of %2 bytes").arg(grouped(p.done), grouped(p.total));
    if (p.secondsLeft < 0)
        return text;
    return text + QStringLiteral(", %1 bytes/s, %2 s left")
                      .arg(grouped(qint64(p.bytesPerSecond)))
                      .arg(p.secondsLeft);
}

void FileSend::reportProgress(bool force)
{
    const qint64 now = nowMs();
    if (!force && now - m_lastProgressMs < kProgressEveryMs) {
        if (!m_progressDue->isActive())
            m_progressDue->start(int(m_lastProgressMs + kProgressEveryMs - now));
        return;
    }
    m_progressDue->stop();
    m_lastProgressMs = now;
    emit progressChanged();
}

void FileSend::startZmodem()
{
    // The file is sz's to read; this one only had to open to prove it readable.
    m_file.close();
    m_zmodemWireBytes = 0;
    m_zmodemSaid.clear();
    m_zmodem = new QProcess(this);
    connect(m_zmodem, &QProcess::readyReadStandardOutput, this, &FileSend::onZmodemOutput);
    connect(m_zmodem, &QProcess::readyReadStandardError, this, [this] {
        m_zmodemSaid = (m_zmodemSaid + m_zmodem->readAllStandardError()).right(kZmodemSaidBytes);
    });
    connect(m_zmodem, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        onZmodemFinished(exitCode, status == QProcess::CrashExit);
    });
    connect(m_zmodem, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(false, QStringLiteral("sz could not be started (%1)").arg(m_zmodem->errorString()));
    });
    m_session.setReceiveDiversion([this](QByteArrayView bytes) { onReceived(bytes); });
    // -b: the file as it is, no line-end conversion.
    m_zmodem->start(QString::fromUtf16(kZmodemProgram), {QStringLiteral("-b"), m_request.path});
    m_timer->start(kPortCheckMs);
}

void FileSend::onZmodemOutput()
{
    const QByteArray bytes = m_zmodem->readAllStandardOutput();
    m_zmodemWireBytes += bytes.size();
    write(bytes);
    reportProgress(false);
}

void FileSend::onZmodemFinished(int exitCode, bool crashed)
{
    // Whatever sz wrote last still goes out before the end.
    onZmodemOutput();
    if (!crashed && exitCode == 0) {
        end(true);
        return;
    }
    QString said = QString::fromLocal8Bit(m_zmodemSaid).simplified();
    said = said.right(120);
    end(false, said.isEmpty()
                   ? QStringLiteral("sz ended with status %1").arg(exitCode)
                   : QStringLiteral("sz ended with status %1: %2").arg(exitCode).arg(said));
}

} // namespace zorvane::transfer
