// libFuzzer target: the station parameter file, loaded the way initialisation loads it
// (within its limits, into cdsParametrosQtr, the six fields read by name). Whatever the
// file holds, this ends in six values or a kzt::Error, within the fuzzer's memory limit.

#include "client/parametrosqtr.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// One file for every input, in memory when /dev/shm is there: a disk would set the pace.
struct InputFile {
    std::string name = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp")
                       + "/kzt-parameters-fuzz-" + std::to_string(::getpid()) + ".cds";
    ~InputFile() { std::remove(name.c_str()); }
};

const std::string& fileName()
{
    static const InputFile file;
    return file.name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(fileName().c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    kzt::ClientDataSet cdsParametrosQtr("cdsParametrosQtr");
    try {
        (void)Cli_kzt00318::leParametros(cdsParametrosQtr, fileName());
    } catch (const kzt::Error&) {}
    return 0;
}
