#pragma once

#include "transfer/Sender.h"
#include "transfer/TransferRequest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>

#include <memory>

class QProcess;
class QTimer;

namespace zorvane::session {
class ModuleSession;
}

namespace zorvane::transfer {

// Runs one file send on a module session: drives the chosen sender with the session's
// received bytes and a timer (or relays lrzsz's sz for ZMODEM), writes what it answers to the
// port, and reports its start, progress and end in the list and through its signals. Nothing
// it does waits.
class FileSend : public QObject
{
    Q_OBJECT
public:
    // ZMODEM's sender: lrzsz's, found on the PATH.
    static constexpr char16_t kZmodemProgram[] = u"sz";
    // Progress is reported at most this often.
    static constexpr qint64 kProgressEveryMs = 100;
    // While nothing else is due, the port is still checked this often.
    static constexpr int kPortCheckMs = 1000;

    struct Progress
    {
        qint64 done = 0;
        qint64 total = 0;
        double bytesPerSecond = 0;
        // -1 while the rate is not known yet.
        qint64 secondsLeft = -1;
    };

    explicit FileSend(session::ModuleSession &session, QObject *parent = nullptr);
    ~FileSend() override;

    // Starts a send; false, with the reason in `why`, when the file cannot be read, no port is
    // open or a send already runs. Nothing is written then.
    bool start(const TransferRequest &request, QString *why = nullptr);
    // Gives up: a protocol's receiver is told so (CAN CAN), and nothing more is written.
    void cancel();
    bool isRunning() const { return m_running; }
    Method method() const { return m_request.method; }
    Progress progress() const;
    // "12,288 of 262,144 bytes, 8,192 bytes/s, 30 s left".
    static QString progressText(const Progress &progress);
    // How text lines end on this port.
    QByteArray lineEnd() const;
    // The line the list shows when the send ended, for whoever shows it elsewhere.
    QString lastEndLine() const { return m_endLine; }

signals:
    void progressChanged();
    void finished(bool ok);

private:
    qint64 nowMs() const { return m_clock.elapsed(); }
    void onReceived(QByteArrayView bytes);
    void onTimer();
    void afterStep();
    void write(const QByteArray &bytes);
    void schedule();
    void end(bool ok, const QString &why = {});
    void reportProgress(bool force);
    void startZmodem();
    void onZmodemOutput();
    void onZmodemFinished(int exitCode, bool crashed);
    double lineBytesPerMs() const;

    session::ModuleSession &m_session;
    TransferRequest m_request;
    QString m_name;
    QFile m_file;
    qint64 m_size = 0;
    std::unique_ptr<Sender> m_sender;
    QProcess *m_zmodem = nullptr;
    // Bytes sz wrote to the port, and the end of what it said on its error output.
    qint64 m_zmodemWireBytes = 0;
    QByteArray m_zmodemSaid;
    QTimer *m_timer = nullptr;
    // Brings a report held back by the pace above when its time comes.
    QTimer *m_progressDue = nullptr;
    QElapsedTimer m_clock;
    qint64 m_lastProgressMs = -kProgressEveryMs;
    bool m_running = false;
    bool m_sessionGone = false;
    // While "Wait for" looks out for its text in what arrives.
    QMetaObject::Connection m_promptWatch;
    QString m_endLine;
};

} // namespace zorvane::transfer
