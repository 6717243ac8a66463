#include "script/ModuleCommandSend.h"

#include "session/ModuleSession.h"
#include "terminal/BgioPacket.h"

namespace zorvane::script {

using terminal::CommandSend;
using terminal::ModuleCommand;

namespace {

// The main toolbar's one-letter buttons: each sends its command to the module itself.
const ModuleCommand kSpeedButtons[] = {
    {QStringLiteral("BtnS"), QStringLiteral("S"), CommandSend::Command, {QStringLiteral("SET")}},
    {QStringLiteral("BtnR"), QStringLiteral("R"), CommandSend::Command, {QStringLiteral("RESET")}},
    {QStringLiteral("BtnI"),
     QStringLiteral("I"),
     CommandSend::Command,
     {QStringLiteral("INQUIRY 5 NAME")}},
    {QStringLiteral("BtnL"), QStringLiteral("L"), CommandSend::Command, {QStringLiteral("LIST")}},
};

template <typename Match> std::optional<NamedCommand> findBy(Match matches)
{
    for (const ModuleCommand &c : kSpeedButtons) {
        if (matches(c.name, c.caption))
            return NamedCommand{c, std::nullopt, true};
    }
    const QList<const QList<ModuleCommand> *> tables = {
        &terminal::commandsMenu(), &terminal::sppToolbar(), &terminal::bgioToolbar(),
        &terminal::hidToolbar()};
    for (const auto *table : tables) {
        for (const ModuleCommand &c : *table) {
            if (matches(c.name, c.caption))
                return NamedCommand{c, std::nullopt, false};
        }
    }
    for (const auto &row : terminal::gainSpanRows()) {
        for (const ModuleCommand &c : row) {
            if (matches(c.name, c.caption))
                return NamedCommand{c, std::nullopt, false};
        }
    }
    for (const terminal::PioButton &pio : terminal::pioButtons()) {
        if (matches(pio.name, pio.description)) {
            const ModuleCommand c{pio.name, pio.description, CommandSend::Command, {pio.command}};
            return NamedCommand{c, pio, false};
        }
    }
    return std::nullopt;
}

void sendPins(session::ModuleSession &session, int value, BgioMemory &bgio)
{
    bgio.pioValue = value;
    const QByteArray packet = terminal::bgio::setPinsPacket(value);
    session.writeBgio(packet);
    emit session.historyPushed({terminal::bgio::setPinsText(value)});
}

// The SET DIR button's history shows the packet in hexadecimal, a PIO button's as escapes.
void sendDirection(session::ModuleSession &session, unsigned char pins, bool asHex)
{
    const QByteArray packet = terminal::bgio::directionPacket(pins);
    session.writeBgio(packet);
    emit session.historyPushed(
        {asHex ? terminal::bgio::hexText(packet) : terminal::bgio::escapedText(packet)});
}

} // namespace

std::optional<NamedCommand> findModuleCommand(QStringView name)
{
    // Captions carry stray spaces (" PROV Off"); a script names them without.
    if (auto byName = findBy([&](const QString &n, const QString &) { return n == name; }))
        return byName;
    return findBy([&](const QString &, const QString &caption) {
        return caption.trimmed() == name.trimmed();
    });
}

void sendModuleCommand(session::ModuleSession &session, const NamedCommand &named,
                       const terminal::CommandContext &context, BgioMemory &bgio)
{
    const ModuleCommand &command = named.command;
    auto text = [&](qsizetype i) { return terminal::expandCommand(command.texts.at(i), context); };
    switch (command.send) {
    case CommandSend::Command:
        for (qsizetype i = 0; i < command.texts.size(); ++i)
            named.toModule ? session.mc_puts_cmd(text(i)) : session.mc_puts(text(i));
        break;
    case CommandSend::Line:
        for (qsizetype i = 0; i < command.texts.size(); ++i)
            session.c_puts(text(i));
        break;
    case CommandSend::GainSpan:
        for (qsizetype i = 0; i < command.texts.size(); ++i) {
            session.serial().c_putc(13);
            session.c_puts(text(i));
        }
        break;
    case CommandSend::CallBgio:
        session.mc_puts(text(0));
        bgio.called = true;
        break;
    case CommandSend::BgioDirection:
        sendDirection(session, static_cast<unsigned char>(command.value), true);
        break;
    case CommandSend::BgioPins:
        sendPins(session, command.value, bgio);
        break;
    case CommandSend::BgioNextPins:
        sendPins(session,
                 static_cast<int>(static_cast<quint32>(bgio.pioValue) +
                                  static_cast<quint32>(command.value)),
                 bgio);
        break;
    case CommandSend::Numbered:
        for (int n = 0; n <= command.value; ++n)
            session.mc_puts(text(0).replace(QLatin1String("{n}"), QString::number(n)));
        break;
    case CommandSend::Escape:
    case CommandSend::BaudChange:
        // Sent by the caller, which can wait between their parts.
        break;
    }
    if (named.pio && bgio.called) {
        if (named.pio->setsDirection)
            sendDirection(session, terminal::bgio::kPinMask, false);
        else
            sendPins(session, named.pio->pins, bgio);
    }
}

} // namespace zorvane::script
