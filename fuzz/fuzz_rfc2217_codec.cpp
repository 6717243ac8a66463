// Fuzz target for the network port's telnet codec: arbitrary bytes from a server, decoded
// whole and in pieces whose sizes the input picks. It stops on any read past the received
// bytes (the sanitizers, each piece decoded from a heap copy of exactly its size), on a
// result that depends on where the bytes were split, on more device bytes than came, on an
// answer above the size cap, and on device bytes that do not survive escaping and decoding.
#include "serial/network/Rfc2217Codec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace zorvane::serial::network;

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

Decoded decodeCopy(Rfc2217Codec &codec, const uint8_t *data, size_t size)
{
    const auto copy = std::make_unique<char[]>(size ? size : 1);
    if (size)
        std::memcpy(copy.get(), data, size);
    return codec.decode(QByteArrayView(copy.get(), qsizetype(size)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Rfc2217Codec whole;
    (void)whole.greeting();
    const Decoded all = decodeCopy(whole, data, size);
    require(size_t(all.data.size()) <= size, "more device bytes than received");
    for (const ComPortAnswer &answer : all.answers)
        require(answer.value.size() < 64, "answer above the size cap");

    // The same bytes in pieces of 1 to 16 bytes, each size taken from the input in turn.
    Rfc2217Codec pieces;
    (void)pieces.greeting();
    Decoded joined;
    size_t at = 0;
    size_t turn = 0;
    while (at < size) {
        const size_t length = std::min(size - at, size_t(data[turn++ % size] % 16) + 1);
        const Decoded part = decodeCopy(pieces, data + at, length);
        joined.data += part.data;
        joined.reply += part.reply;
        joined.answers += part.answers;
        at += length;
    }
    require(joined.data == all.data, "device bytes depend on the split");
    require(joined.reply == all.reply, "replies depend on the split");
    require(joined.answers == all.answers, "answers depend on the split");
    require(pieces.comPortAccepted() == whole.comPortAccepted(), "option state depends on the split");

    // Device bytes sent back through the escaping come out unchanged and alone.
    Rfc2217Codec fresh;
    const Decoded again = fresh.decode(Rfc2217Codec::escape(all.data));
    require(again.data == all.data, "escaping loses bytes");
    require(again.reply.isEmpty() && again.answers.isEmpty(), "escaped bytes read as commands");
    return 0;
}
