#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>
#include <utility>

// BGAPI for scripts: commands and received messages by name, and a message's fields.
namespace zorvane::script::bgapi_names {

// A command packet by its name ("system_get_info", "gap_discover", "gap_connect_direct",
// ...). `argument` is the connection handle for the commands that take one, or the address
// text xx:xx:xx:xx:xx:xx for gap_connect_direct. None, with `error` set, for an unknown name or
// an argument that does not read.
std::optional<QByteArray> commandPacket(const QString &name, const QVariant &argument,
                                        QString *error);

// The name a complete packet goes by: a response has its command's name, an event its own
// ("gap_scan_response", "connection_status", ...); "class_c_id_i" for one not known here.
QString messageName(QByteArrayView packet);

// What a complete packet carries, as name and value pairs (numbers, texts, and byte strings
// for data); always "name", "class", "id" and "raw" (the whole packet).
QList<std::pair<QString, QVariant>> messageFields(QByteArrayView packet);

} // namespace zorvane::script::bgapi_names
