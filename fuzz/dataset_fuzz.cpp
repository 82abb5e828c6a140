// libFuzzer target: a packet loaded into a dataset and written back, as the dialog loads
// the occurrence list (with its declared fields, when the last byte is odd) and hands
// its result datasets to the host. Whatever loads must be browsable field by field, and
// its packet must load again into an equal dataset and be written byte for byte the same.

#include "platform/clientdataset.h"
#include "platform/variant.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The occurrence list as the dialog declares it: its own field order, flags and labels.
void declareOccurrences(kzt::ClientDataSet& ds)
{
    using kzt::FieldType;
    ds.addFieldDef({"CDGRPOCOR", FieldType::String, 2, false, {}});
    ds.addFieldDef({"CDOCORR", FieldType::String, 2, true,
                    "C\xF3"
                    "digo"});
    ds.addFieldDef({"DSOCORR", FieldType::String, 40, true, "Descri\xE7\xE3o"});
    ds.addFieldDef({"IDCONTROLAOBS", FieldType::String, 1, false, {}});
}

void browse(kzt::ClientDataSet& ds)
{
    for (ds.first(); !ds.eof(); ds.next()) {
        for (int i = 0; i < ds.fieldCount(); ++i)
            (void)ds.field(i).asString();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The last byte chooses, so that a packet ending in a line break is a seed as it is.
    const bool declared = (data[size - 1] & 1) != 0;
    const std::string input(reinterpret_cast<const char*>(data), size - 1);

    kzt::ClientDataSet loaded("cdsObs");
    if (declared)
        declareOccurrences(loaded);
    try {
        loaded.setData(kzt::Variant::fromPacket(input));
    } catch (const kzt::Error&) {
        return 0;
    }
    browse(loaded);

    const kzt::Variant written = loaded.data();
    kzt::ClientDataSet again("cdsObs");
    again.setData(written);
    if (!(again.toPacket() == loaded.toPacket()) || again.data().packet() != written.packet())
        std::abort();
    return 0;
}
