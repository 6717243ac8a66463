#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zorvane::terminal {

// The iWRAP multiplexing frame: start byte, link, flags, length, data, and the link again
// inverted as a check. Link 255 is the module itself; 0 upwards are its connections.
class MuxFrame
{
public:
    static constexpr unsigned char kStart = 0xBF;
    static constexpr int kControlLink = 255;
    // The length field is one byte.
    static constexpr qsizetype kMaxData = 255;

    // One frame around at most kMaxData bytes; only the link's low 8 bits go on the wire.
    static QByteArray frame(int link, QByteArrayView data);
    // Data of any length as consecutive frames to the same link, so the module never
    // misreads a length; empty data still makes one (empty) frame.
    static QByteArray frames(int link, QByteArrayView data);
    // The echo line of one frame as the terminal list shows it.
    static QString echoLine(int link, QStringView text);
};

} // namespace zorvane::terminal
