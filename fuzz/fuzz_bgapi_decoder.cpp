// Fuzz target for the BGAPI decoder: arbitrary received bytes go through the shared state as
// the receive loop hands them over, and through a plain reading of the assembly rules kept
// here for comparison. It stops on any read past the received bytes (the sanitizers, and
// every completed packet interpreted again from a heap copy of exactly its size), on a
// buffer holding more than one packet, and on a packet reported more than once or at a byte
// where the rules complete none.
#include "bgapi/BgapiState.h"
#include "bgapi/Formats.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace zorvane::bgapi;

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// The assembly rules step by step, on a growing vector; the caller empties it after each
// completed packet, as the receive loop does.
class RulesModel
{
public:
    bool add(quint8 byte)
    {
        m_buffer.push_back(byte);
        if (m_buffer.size() > 50 && (byte == 0x00 || byte == 0x80))
            m_buffer.assign(1, byte);
        if (m_buffer[0] != 0x00 && m_buffer[0] != 0x80)
            m_buffer.assign(1, byte);
        return m_buffer.size() >= 2 && m_buffer.size() >= size_t(m_buffer[1]) + 4;
    }
    const std::vector<quint8> &buffer() const { return m_buffer; }
    void clear() { m_buffer.clear(); }

private:
    std::vector<quint8> m_buffer;
};

bool isSync(quint8 byte)
{
    return byte == kCommand || byte == kEvent;
}

// At most one packet: a buffer that has begun a packet holds no more than its declared size.
void checkHeld(QByteArrayView held)
{
    require(held.size() <= kMaxPacketSize, "buffer longer than a packet");
    if (held.size() > 1) {
        require(isSync(quint8(held[0])), "buffer does not start a packet");
        require(held.size() <= quint8(held[1]) + kHeaderSize, "buffer past its packet");
    }
}

// Interprets the packet again from a copy that ends where the packet ends, so the address
// sanitizer sees any read past it.
void interpretExactCopy(QByteArrayView packet)
{
    const auto copy = std::make_unique<char[]>(size_t(packet.size()));
    std::memcpy(copy.get(), packet.data(), size_t(packet.size()));
    const std::optional<Message> message = interpret(QByteArrayView(copy.get(), packet.size()));
    if (message && std::holds_alternative<ScanResponse>(*message))
        require(addressText(std::get<ScanResponse>(*message).address).size() == 17, "address text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // As the receive loop drives it: the flag taken after every byte.
    BgapiState state;
    // The first byte also picks the logger command given before, so every conversion runs.
    if (size > 0)
        state.logger.commandGiven(commands::LoggerCommand(data[0] % 5));
    RulesModel model;
    QStringList entries{QStringLiteral("Unknown MAC")};
    std::vector<size_t> completedAt;
    for (size_t i = 0; i < size; ++i) {
        const std::optional<Message> message = state.bgapi_decode(data[i]);
        const bool expected = model.add(data[i]);
        const QByteArrayView packet = state.rx.packet();
        require(state.rx.bgapi_packet_done() == expected, "completion differs from the rules");
        if (expected) {
            const std::vector<quint8> &bytes = model.buffer();
            require(size_t(packet.size()) == bytes.size() ||
                        (message && (std::holds_alternative<ConnectionStatus>(*message) ||
                                     std::holds_alternative<Disconnected>(*message))),
                    "completed packet differs from the rules");
            if (!packet.isEmpty()) {
                require(std::memcmp(packet.data(), bytes.data(), bytes.size()) == 0,
                        "completed packet bytes differ from the rules");
                interpretExactCopy(packet);
            }
            completedAt.push_back(i);
            model.clear();
        } else {
            require(!message, "message without a completed packet");
            require(state.rx.bgapi_rx_buffer().size() == qsizetype(model.buffer().size()),
                    "buffer differs from the rules");
        }
        if (message && std::holds_alternative<ScanResponse>(*message)) {
            const auto update =
                state.addresses.scanResponse(std::get<ScanResponse>(*message).address, entries);
            if (update.clearEntries)
                entries.clear();
            if (update.addEntry)
                entries << update.text;
            require(state.addresses.rawAddressOf(update.text).has_value(), "raw address lost");
        }
        checkHeld(state.rx.bgapi_rx_buffer());
        require(state.rx.takePacketDone() == expected, "flag taken twice");
        require(state.rx.bgapi_rx_buffer().isEmpty() || !expected, "buffer kept after the take");
        require(state.logger.bgapi_value_data().size() <= 5, "value data grows");
    }

    // Nobody takes the flag: each packet must still complete once, at the same byte.
    PacketAssembly untaken;
    size_t next = 0;
    for (size_t i = 0; i < size; ++i) {
        if (untaken.add(data[i])) {
            require(next < completedAt.size() && completedAt[next] == i,
                    "packet reported again or at another byte");
            ++next;
        }
        checkHeld(untaken.bgapi_rx_buffer());
    }
    require(next == completedAt.size(), "packet missed without the take");
    (void)resultText(state.bgapi_result);
    return 0;
}
