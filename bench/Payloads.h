#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <memory>

namespace zorvane::bench {

// What a writer sends: a deterministic byte stream of known length, generated piece by piece
// so the benchmark never holds the whole volume in memory. A second instance made the same
// way yields the same bytes, which is how the received list is checked afterwards.
class Payload
{
public:
    virtual ~Payload() = default;
    // Fills up to `capacity` bytes; returns how many (0 at the end).
    virtual qsizetype next(char *out, qsizetype capacity) = 0;
    virtual qint64 totalBytes() const = 0;
    // Lines ended by CR in the stream.
    virtual qint64 totalLines() const = 0;
};

// Lines of `width` printable characters, each followed by CR LF.
std::unique_ptr<Payload> makeLines(int width, qint64 lines);
// Random bytes without line ends: no CR, no LF, no backspace and no ESC, so every byte shows
// as itself or as its <XX> form.
std::unique_ptr<Payload> makeNoise(qint64 bytes);

// The text the terminal list shows for received bytes with the default options: printable
// bytes as themselves, CR and LF as nothing, any other byte as <XX>.
void appendDisplayText(QByteArrayView bytes, QByteArray &out);

} // namespace zorvane::bench
