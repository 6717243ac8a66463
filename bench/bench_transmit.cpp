// Transmit benchmark. Pastes a large text into the real main window's send box and sends it
// as a command line, as multiplexing frames and as Hex Write, with a pseudo-terminal as the
// port. Reports how long the window is held up by the paste and by the Send click, how long
// the event loop takes to hand every byte to the port and the longest wait a click would have
// had meanwhile, then checks that the module received exactly the bytes expected.
//
//   bench_transmit [kilobytes]     default 1024
#include "Clocks.h"
#include "LoopMonitor.h"
#include "PtyModule.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace zorvane::bench;

namespace {

constexpr int kPort = 9;

struct Form
{
    const char *name;
    bool mux;
    bool hexWrite;
};

QByteArray framed(int link, const QByteArray &data)
{
    QByteArray out;
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray chunk = data.mid(at, 255);
        out +=
            QByteArray("\xBF") + char(link) + '\0' + char(chunk.size()) + chunk + char(link ^ 0xFF);
    }
    return out;
}

QByteArray expectedBytes(const Form &form, const QByteArray &text)
{
    if (form.hexWrite) {
        QByteArray hex;
        for (const char c : text)
            hex += QByteArray::number(uchar(c), 16).toUpper().rightJustified(2, ' ') + ' ';
        return hex + '\r';
    }
    if (form.mux)
        return framed(255, text + '\r');
    return '\r' + text + "\r\n\r";
}

double msSince(qint64 startNs)
{
    return double(nowNs() - startNs) * 1e-6;
}

int runForm(TMain &w, PtyModule &module, const Form &form, const QByteArray &text)
{
    w.MUX1->setChecked(form.mux);
    w.session.setMuxLink(form.mux ? 255 : 0);
    w.HexModeWrite1->setChecked(form.hexWrite);
    const QByteArray expected = expectedBytes(form, text);
    // A fresh history entry each time, so the paste really changes the send box.
    w.SendString->setEditText(QString());

    qint64 start = nowNs();
    w.SendString->setEditText(QString::fromLatin1(text));
    const double pasteMs = msSince(start);

    LoopMonitor monitor(5);
    start = nowNs();
    w.SendClick();
    const double clickMs = msSince(start);

    QByteArray received;
    const QDeadlineTimer deadline(120000);
    while (received.size() < expected.size() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        received += module.readAvailable();
    }
    const double drainMs = msSince(start);
    monitor.stop();

    const bool whole = received == expected;
    std::printf("%-13s paste %7.1f ms   Send click %7.1f ms   all %8lld bytes at the port after "
                "%7.1f ms   longest click wait %5.1f ms   %s\n",
                form.name, pasteMs, clickMs, static_cast<long long>(expected.size()), drainMs,
                monitor.longestLatencyMs(), whole ? "bytes match" : "BYTES DIFFER");
    return whole ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const qsizetype kilobytes = argc > 1 ? std::atoi(argv[1]) : 1024;
    QTemporaryDir home;
    const QString docs = useTemporaryHome(home.path());
    isolatePorts(docs);
    QApplication app(argc, argv);
    zorvane::app::setMessageHandler([](QWidget *, const QString &) {});

    PtyModule module;
    if (!module.isValid() || !module.linkAs(docs, kPort)) {
        std::printf("no pseudo-terminal\n");
        return 1;
    }
    TMain w;
    w.Timer1->stop();
    w.set_comx(kPort, false);
    if (!w.serial.holdsDevice()) {
        std::printf("port did not open\n");
        return 1;
    }

    QByteArray text(kilobytes * 1024, 'p');
    for (qsizetype i = 0; i < text.size(); i += 97)
        text[i] = char('A' + i % 26);
    std::printf("text of %lld bytes\n", static_cast<long long>(text.size()));

    int failures = 0;
    for (const Form &form : {Form{"command line", false, false}, Form{"frames", true, false},
                             Form{"Hex Write", false, true}})
        failures += runForm(w, module, form, text);
    return failures == 0 ? 0 : 1;
}
