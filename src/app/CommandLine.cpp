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
               "  --script <file>       Start the window and run the Lua script <file> once the\n"
               "                        port is open.\n"
               "  --run <file>          Run the Lua script <file> without any window: open the\n"
               "                        profile's port, run, and exit with 0 when it passed, 1\n"
               "                        when it failed, 2 for a usage error, 3 when the port\n"
               "                        cannot be opened, 130 or 143 after SIGINT or SIGTERM.\n"
               "  --port <n>            With --run: open port n (1 to 100) instead.\n"
               "  --junit <file>        With --run: write a JUnit report of the test steps.\n"
               "  --echo                With --run: copy received lines to standard output.\n"
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

// The program ends at once with a status and what it prints.
CommandLineOutcome ending(int exitCode, const QString &out, const QString &err)
{
    CommandLineOutcome outcome;
    outcome.run = false;
    outcome.exitCode = exitCode;
    outcome.standardOutput = out;
    outcome.standardError = err;
    return outcome;
}

CommandLineOutcome failure(const QString &message)
{
    return ending(
        2, {},
        QStringLiteral("zorvane: %1\nTry 'zorvane --help' for more information.\n").arg(message));
}

struct ScriptOptions
{
    const QCommandLineOption &run;
    const QCommandLineOption &windowScript;
    const QCommandLineOption &port;
    const QCommandLineOption &junit;
    const QCommandLineOption &echo;
};

// The options that run a script, in the window or without one.
CommandLineOutcome readScriptOptions(const QCommandLineParser &parser, CommandLineOutcome outcome,
                                     const ScriptOptions &o)
{
    for (const QCommandLineOption *once : {&o.run, &o.windowScript, &o.port, &o.junit}) {
        if (parser.values(*once).size() > 1)
            return failure(
                QStringLiteral("--%1 is given more than once.").arg(once->names().first()));
    }
    if (parser.isSet(o.run) && parser.isSet(o.windowScript))
        return failure(QStringLiteral("--run and --script do not go together."));
    if (!parser.isSet(o.run)) {
        for (const QCommandLineOption *runOnly : {&o.port, &o.junit, &o.echo}) {
            if (parser.isSet(*runOnly))
                return failure(
                    QStringLiteral("--%1 goes with --run.").arg(runOnly->names().first()));
        }
    }
    if (parser.isSet(o.port)) {
        bool ok = false;
        outcome.port = parser.value(o.port).toInt(&ok);
        if (!ok || outcome.port < 1 || outcome.port > 100)
            return failure(QStringLiteral("--port takes a number from 1 to 100."));
    }
    if (parser.isSet(o.run) && parser.value(o.run).isEmpty())
        return failure(QStringLiteral("--run needs a script file."));
    outcome.headlessScript = parser.value(o.run);
    outcome.windowScript = parser.value(o.windowScript);
    outcome.junit = parser.value(o.junit);
    outcome.echo = parser.isSet(o.echo);
    return outcome;
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
    const QCommandLineOption run(QStringLiteral("run"), {}, QStringLiteral("file"));
    const QCommandLineOption windowScript(QStringLiteral("script"), {}, QStringLiteral("file"));
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("n"));
    const QCommandLineOption junit(QStringLiteral("junit"), {}, QStringLiteral("file"));
    const QCommandLineOption echo(QStringLiteral("echo"));
    parser.addOptions({run, windowScript, port, junit, echo});
    for (const char *name : kQtValueOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name), {}, QStringLiteral("value")));
    for (const char *name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QLatin1String(name)));

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help))
        return ending(0, helpText(version), {});
    if (parser.isSet(showVersion))
        return ending(0, QStringLiteral("Zorvane %1\n").arg(version), {});
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
    return readScriptOptions(parser, outcome, {run, windowScript, port, junit, echo});
}

} // namespace zorvane::app
