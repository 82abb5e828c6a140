// libFuzzer target: the packet reader. Whatever the input, reading either refuses it with
// PacketError or gives a packet the writer writes out and the reader reads back equal.

#include "platform/datapacket.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    kzt::Packet packet;
    try {
        packet = kzt::parsePacket(input);
    } catch (const kzt::PacketError&) {
        return 0;
    }
    // What the reader takes, the writer must write: a refusal here is a finding too.
    const std::string written = kzt::writePacket(packet);
    if (!(kzt::parsePacket(written) == packet))
        std::abort();
    return 0;
}
