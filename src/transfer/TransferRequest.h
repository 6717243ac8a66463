#pragma once

#include <QString>
#include <QStringList>

namespace zorvane::transfer {

// The ways a file can be sent, in the order the "Method" box lists them.
enum class Method { TextLines, Raw, Xmodem, Xmodem1K, Ymodem, Zmodem };

// The names the "Method" box shows, by Method.
QStringList methodNames();
QString methodName(Method method);
// Whether the method is a protocol that answers (its received bytes belong to it).
bool isProtocol(Method method);

// What the user asked for in the send dialog.
struct TransferRequest
{
    TransferRequest() = default;
    TransferRequest(QString file, Method how) : path(std::move(file)), method(how) {}

    QString path;
    Method method = Method::TextLines;
    int characterDelayMs = 0;
    int lineDelayMs = 0;
    // Text lines: the text to wait for after each line; empty waits for nothing.
    QString waitFor;
};

// Why the file cannot be sent, in words for the dialog; empty when it can be read.
QString unreadableReason(const QString &path);

} // namespace zorvane::transfer
