#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace zorvane::terminal {

// Why a text could not be read as bytes, and where: the piece at fault, what is wrong with
// it, and the character (counted from 1) where the piece starts.
struct ByteTextError
{
    QString piece;
    QString problem;
    qsizetype position = 0;
    // "0g: not a hexadecimal byte, at character 1"
    QString text() const;
};

// A text read as bytes, or why it cannot be.
struct ByteTextResult
{
    QByteArray bytes;
    std::optional<ByteTextError> error;
    bool ok() const { return !error.has_value(); }
};

// Reads the send box's text in bytes mode: hexadecimal pairs, with or without spaces between
// them and with or without a leading "0x" (`01 ff 0x0A 0d0a`), and text in double quotes taken
// as its bytes (`"AT"`, with \" and \\ inside for a quote and a backslash). Spaces and tabs
// only separate. A text that cannot be read gives no bytes at all.
ByteTextResult parseByteText(QStringView text);

// Bytes as the terminal list shows received bytes: 32 to 127 as themselves, every other byte
// as a two-digit escape (<0D>), or, with `unreadable`, as itself unless it is a byte the list
// takes as a control (backspace, LF, CR, ESC).
QString shownBytes(QByteArrayView bytes, bool unreadable = false);

} // namespace zorvane::terminal
