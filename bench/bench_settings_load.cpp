// Settings load benchmark. Builds hostile settings files that stay under the load's size cap
// (a flood of unknown elements, thousands of attributes on one element or on many, long
// texts, comments) and times, for each, the load the window runs at start-up (read, check,
// parse, read every leaf) and the save it runs at exit, and whether the saved file loads again.
//
//   bench_settings_load          all cases
//   bench_settings_load FILE...  the given files instead
#include "Clocks.h"
#include "settings/zv_settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace zorvane::bench;
using namespace zorvane::settings;

namespace {

constexpr qint64 kCap = SettingsDocument::kMaxFileBytes;
const QByteArray kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";

QByteArray attributes(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += " a" + QByteArray::number(i) + "=\"\"";
    return out;
}

// Repeats `unit` inside the root until the file is just under the size cap, or `count` times.
QByteArray filled(const QByteArray &unit, qint64 count = kCap)
{
    const QByteArray open = kHead + "<ZVSettings>";
    const QByteArray close = "</ZVSettings>";
    const qint64 room = kCap - open.size() - close.size();
    return open + unit.repeated(std::min(count, room / unit.size())) + close;
}

// As many units as the node limit lets through, with room for the settings themselves.
qint64 underNodeLimit(int nodes)
{
    return (SettingsDocument::kMaxNodes - 200) / nodes;
}

struct Case
{
    const char *name;
    std::function<QByteArray()> bytes;
};

const std::vector<Case> kCases = {
    {"900,000 empty unknown elements", [] { return filled("<a/>"); }},
    {"49,800 empty unknown elements", [] { return filled("<a/>", underNodeLimit(1)); }},
    {"24,900 unknown elements with text",
     [] { return filled("<a>x</a>", underNodeLimit(2)); }},
    {"100,000 attributes on the root",
     [] { return kHead + "<ZVSettings" + attributes(100000) + "/>"; }},
    {"64 attributes on the root",
     [] { return kHead + "<ZVSettings" + attributes(64) + "/>"; }},
    {"elements of 64 attributes, to the limit",
     [] { return filled("<a" + attributes(64) + "/>", underNodeLimit(65)); }},
    {"elements of 1000 attributes", [] { return filled("<a" + attributes(1000) + "/>"); }},
    {"49,800 comments", [] { return filled("<!--c-->", underNodeLimit(1)); }},
    {"one long history text",
     [] {
         return kHead + "<ZVSettings><Data><send1>" + QByteArray(kCap - 200, 'x') +
                "</send1></Data></ZVSettings>";
     }},
    {"ampersands in a history text, 20,000",
     [] {
         return kHead + "<ZVSettings><Data><send1>" + QByteArray("&amp;").repeated(20000) +
                QByteArray(kCap - 100'200, 'x') + "</send1></Data></ZVSettings>";
     }},
    {"line ends in an unknown text, 20,000",
     [] { return filled("<u>" + QByteArray("\r\n").repeated(20000) + QByteArray(kCap - 40'200, 'x') + "</u>", 1); }},
    {"quotes in an unknown attribute",
     [] { return filled("<u a='" + QByteArray(20000, '"') + QByteArray(kCap - 20'200, 'x') + "'/>", 1); }},
    {"nested 256 deep, to the limit",
     [] {
         return filled(QByteArray("<a>").repeated(255) + QByteArray("</a>").repeated(255),
                       underNodeLimit(255));
     }},
};

// The load as the window runs it: read and parse, then every leaf once.
bool loadAll(const QString &path, QString *why)
{
    SettingsDocument document;
    document.FileName = path;
    auto root = OpenSettingsRoot(document, why);
    if (!root)
        return false;
    root->Window().left();
    root->COMPORT().baud();
    root->Options().ResetOnConnect();
    for (int n = 1; n <= TXMLDataType::kSendEntries; ++n)
        root->Data().send(n);
    root->Data().logdir();
    return true;
}

void run(const char *name, const QString &path)
{
    const qint64 size = QFileInfo(path).size();
    QString why;
    qint64 start = nowNs();
    const bool loaded = loadAll(path, &why);
    const double loadMs = double(nowNs() - start) / 1e6;
    if (!loaded) {
        std::printf("%-42s %8lld B  load %8.1f ms  refused: %s\n", name, size, loadMs,
                    qPrintable(why));
        return;
    }
    SettingsDocument document;
    document.FileName = path;
    auto root = OpenSettingsRoot(document);
    root->COMPORT().setCom(3);
    const QString saved = path + QStringLiteral(".saved");
    start = nowNs();
    const bool wrote = document.save(saved, &why);
    const double saveMs = double(nowNs() - start) / 1e6;
    const qint64 savedSize = QFileInfo(saved).size();
    QString again;
    const bool reloads = wrote && loadAll(saved, &again);
    std::printf("%-42s %8lld B  load %8.1f ms  save %8.1f ms -> %8lld B, %s\n", name, size,
                loadMs, saveMs, savedSize,
                !wrote ? qPrintable(QStringLiteral("not saved: ") + why)
                : reloads ? "loads again"
                          : qPrintable(QStringLiteral("refused next time: ") + again));
    QFile::remove(saved);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            run(argv[i], QString::fromLocal8Bit(argv[i]));
        return 0;
    }
    QTemporaryDir dir;
    for (const Case &c : kCases) {
        const QString path = dir.filePath(QStringLiteral("zv_settings.xml"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(c.bytes()) < 0)
            return 1;
        file.close();
        run(c.name, path);
    }
    return 0;
}
