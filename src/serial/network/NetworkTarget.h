#pragma once

#include <QString>

#include <optional>

namespace zorvane::serial::network {

// A port another machine shares: "rfc2217://host:port" speaks the telnet com-port option,
// "socket://host:port" is a plain byte stream whose line settings the server fixes. IPv6
// hosts are written in brackets ("[::1]:4001"); options follow a '?' as pyserial writes them.
struct NetworkTarget
{
    enum class Scheme { Rfc2217, Socket };

    Scheme scheme = Scheme::Rfc2217;
    QString host;
    quint16 port = 0;
    // Drive DTR, RTS and break without expecting the server to confirm them.
    bool ignoreSetControl = false;
    // How long connecting and each answer of the server may take.
    int timeoutMs = 3000;
};

// Whether the text names a network port at all (its scheme), so callers can tell a network
// pin from a device path before it is fully checked.
bool isNetworkTarget(const QString &text);

// The target the text names, or nothing with `error` saying what is wrong with it.
std::optional<NetworkTarget> parseNetworkTarget(const QString &text, QString *error = nullptr);

// "host:port", with brackets around an IPv6 address, for messages.
QString hostAndPort(const NetworkTarget &target);

} // namespace zorvane::serial::network
