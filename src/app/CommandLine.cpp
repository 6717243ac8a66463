#include "CommandLine.h"

#include "settings/Profile.h"

#include <QCommandLineParser>

namespace zorvane::app {

namespace {

// Options QGuiApplication and QApplication take themselves; they must not count as unknown.
const char *const kQtValueOptions[] = {"platform",        "platformpluginpath",
                                       "platformtheme",   "plugin",
                                       "qwindowgeometry", "qwindowicon",
                                       "qwindowtitle",    "display",
                                       "geometry",        "style",
                                       "stylesheet",      "session",
                                       "title",           "name",
                                       "qmljsdebugger"};
const char *const kQtFlagOptions[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

QString helpText(const QString &version)
{
    return QStringLiteral(
               "Usage: zorvane [options]\n"
               "Zorvane %1, a serial terminal for Bluetooth and Wi-Fi radio modules.\n"
               "\n"
               "Options:\n"
               "  -h, --help            Show this help and exit.\n"
               "  -v, --version         Show the version and exit.\n"
               "  -p, --profile <name>  Use the settings of the profile <name>.\n"
               "\n"
               "A profile keeps its own settings file, zv_settings-<name>.xml beside\n"
               "zv_settings.xml, so several instances can each watch their own port. Its name is\n"
               "made of letters, digits, '-' and '_'; it shows in the window's caption and in\n"
               "front of the session log names. Only one instance at a time saves a settings\n"
               "file: a second one on the same file runs, but leaves the file as it is.\n"
               "\n"
               "Qt's own options, such as -platform <name> and -style <name>, are passed on to "
               "Qt.\n"
               "The settings file, session logs and the ports/ folder live in "
               "~/Documents/Zorvane/.\n")
        .arg(version);
}

// A refused name is echoed back; control characters in it must not reach the terminal.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    return text;
}

CommandLineOutcome failure(const QString &message)
{
    return {
        false,
        2,
        {},
        QStringLiteral("zorvane: %1\nTry 'zorvane --help' for more information.\n").arg(message),
        {}};
}

} // namespace

CommandLineOutcome parseCommandLine(const QStringList &arguments, const QString &version)
{
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform), so ours are read the same way.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(
        QStringList{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")});
    const QCommandLineOption showVersion(
        QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(showVersion);
    const QCommandLineOption profile(QStringList{QStringLiteral("p"), QStringLiteral("profile")},
                                     {}, QStringLiteral("name"));
    parser.addOption(profile);
    for (const char *name : kQtValueOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name), {}, QStringLiteral("value")));
    for (const char *name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name)));

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help))
        return {false, 0, helpText(version), {}, {}};
    if (parser.isSet(showVersion))
        return {false, 0, QStringLiteral("Zorvane %1\n").arg(version), {}, {}};
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty())
        return failure(QStringLiteral("unexpected argument '%1'.").arg(extra.first()));
    CommandLineOutcome outcome;
    if (parser.isSet(profile)) {
        const QStringList names = parser.values(profile);
        if (names.size() > 1)
            return failure(QStringLiteral("only one profile at a time."));
        if (!settings::isValidProfileName(names.first()))
            return failure(QStringLiteral("the profile name '%1' is not allowed: use 1 to %2 "
                                          "letters, digits, '-' or '_'.")
                               .arg(printable(names.first()))
                               .arg(settings::kMaxProfileNameLength));
        outcome.profile = names.first();
    }
    return outcome;
}

} // namespace zorvane::app
