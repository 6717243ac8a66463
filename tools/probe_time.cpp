// Measures how long AutoDetect's probe of all 100 port numbers takes: with every number
// pointing at a missing device, with the machine's own devices, and as the window runs it.
// Prints the figures; it asserts nothing. Run it offscreen: QT_QPA_PLATFORM=offscreen.
#include "app/main_window/MainForm.h"
#include "serial/PortNames.h"
#include "serial/Serial_io.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 20;

// Points every port number at a path that does not exist.
void linkAllToNothing(const QString &documentsFolder)
{
    QDir().mkpath(documentsFolder + QStringLiteral("ports"));
    for (int port = 1; port <= zorvane::serial::kPortCount; ++port) {
        const QString link = zorvane::serial::overrideLinkPath(documentsFolder, port);
        QFile::remove(link);
        QFile::link(QStringLiteral("/nonexistent/COM%1").arg(port), link);
    }
}

// The probe as AutoDetect does it: open with 8N1, close again when it opened.
int probeAll(zorvane::serial::SerialIo &io)
{
    int found = 0;
    for (int port = 1; port <= zorvane::serial::kPortCount; ++port) {
        if (io.c_open(port, 115200, 8, 0, 1)) {
            ++found;
            io.c_close();
        }
    }
    return found;
}

void report(const char *what, const std::function<int()> &run)
{
    std::vector<double> ms;
    int found = 0;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer clock;
        clock.start();
        found = run();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-46s found %3d   min %8.2f ms   median %8.2f ms   max %8.2f ms\n", what, found,
                ms.front(), ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    const QString docs =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Zorvane/";
    QDir().mkpath(docs);

    std::printf("AutoDetect probe of 100 port numbers, %d runs each\n", kRuns);

    zorvane::serial::SerialIo io;
    io.setDocumentsFolder(docs);
    report("machine's own devices (platform table)", [&] { return probeAll(io); });

    linkAllToNothing(docs);
    report("none present (every number a missing device)", [&] { return probeAll(io); });

    TMain window;
    window.Timer1->stop();
    report("AutoDetectClick on the window, none present", [&] {
        window.com_items[0]->setChecked(true);
        window.AutoDetectClick();
        int visible = 0;
        for (int port = 1; port <= zorvane::serial::kPortCount; ++port)
            visible += window.com_items[static_cast<size_t>(port)]->isVisible() ? 1 : 0;
        return visible;
    });
    return 0;
}
