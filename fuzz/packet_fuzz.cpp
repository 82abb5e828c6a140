// libFuzzer target for the packet reader; not part of the default build. Build by hand:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. fuzz/packet_fuzz.cpp \
//     platform/datapacket.cpp platform/text.cpp -lpugixml -o packet_fuzz
// Whatever the input, reading either refuses it with PacketError or gives a packet that
// writes out and reads back equal.

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
    std::string written;
    try {
        written = kzt::writePacket(packet);
    } catch (const kzt::PacketError&) {
        return 0;  // a NUL from a character reference: refused on the way out, never cut
    }
    if (!(kzt::parsePacket(written) == packet))
        std::abort();
    return 0;
}
