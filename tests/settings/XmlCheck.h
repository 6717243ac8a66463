#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

// A second opinion on written settings files from libxml2's xmllint, which shares no code
// with the program's own reader and writer.
namespace xmlcheck {

inline bool haveXmllint()
{
    return !QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty();
}

// The file in canonical form without the whitespace between elements (CDATA becomes
// escaped text, no declaration); empty when xmllint finds the file not well-formed.
inline QString canonical(const QString &path)
{
    QProcess lint;
    lint.start(QStringLiteral("xmllint"), {QStringLiteral("--nonet"), QStringLiteral("--noblanks"),
                                           QStringLiteral("--c14n"), path});
    if (!lint.waitForFinished(30000) || lint.exitCode() != 0)
        return {};
    return QString::fromUtf8(lint.readAllStandardOutput());
}

// The canonical form of a settings file holding these groups, each a list of leaf, text.
using Leaves = QList<std::pair<QString, QString>>;
inline QString canonicalFile(const QList<std::pair<QString, Leaves>> &groups)
{
    auto escaped = [](QString text) {
        return text.replace(u'&', QStringLiteral("&amp;"))
            .replace(u'<', QStringLiteral("&lt;"))
            .replace(u'>', QStringLiteral("&gt;"))
            .replace(u'\r', QStringLiteral("&#xD;"));
    };
    QString out = QStringLiteral("<ZVSettings>");
    for (const auto &[group, leaves] : groups) {
        out += u'<' + group + u'>';
        for (const auto &[leaf, text] : leaves)
            out += u'<' + leaf + u'>' + escaped(text) + QStringLiteral("</") + leaf + u'>';
        out += QStringLiteral("</") + group + u'>';
    }
    return out + QStringLiteral("</ZVSettings>");
}

// The leaves of a new file, in order, for the documents folder `docs`.
inline QList<std::pair<QString, Leaves>> newFileLeaves(const QString &docs)
{
    Leaves data{{"mac", "Unknown Mac"}, {"send1", "SET"}};
    for (int n = 2; n <= 10; ++n)
        data.append({QStringLiteral("send%1").arg(n), QStringLiteral(" ")});
    data.append({"logdir", docs + "test.csv"});
    return {
        {"Window", {{"left", "100"}, {"top", "100"}, {"width", "600"}, {"height", "400"}}},
        {"COMPORT",
         {{"com", "1"}, {"baud", "115200"}, {"dataBits", "8"}, {"parity", "0"}, {"stopbits", "1"}}},
        {"Toolbars",
         {{"spp", "false"},
          {"BGIO", "false"},
          {"HID", "false"},
          {"GainSpan", "false"},
          {"modem", "false"}}},
        {"Options",
         {{"echo", "false"},
          {"hexmoder", "false"},
          {"hexmodew", "false"},
          {"unreadable", "false"},
          {"multiplex", "false"},
          {"greenonblack", "false"},
          {"timestamp", "false"},
          {"datestamp", "false"},
          {"log", "false"},
          {"ResetOnConnect", "true"},
          {"arrivaltimes", "0"},
          {"scrollbackmemory", "256"},
          {"lineend", "Module"},
          {"sendbytes", "false"},
          {"hexdump", "false"}}},
        {"Data", data},
        {"Plot",
         {{"plotleft", "0"},
          {"plottop", "0"},
          {"plotwidth", "0"},
          {"plotheight", "0"},
          {"patterns", ""},
          {"shown", "false"}}},
    };
}

} // namespace xmlcheck
