// Loading and saving a large occurrence packet through a dataset, next to what pugixml
// alone takes to parse and to print the same document. The dataset's work should stay
// within twice the bare XML cost.

#include "platform/clientdataset.h"
#include "platform/datapacket.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <malloc.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

constexpr int kRows = 100000;

std::string twoDigits(int n)
{
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

// Occurrence rows as the data service sends them, in its column order.
const std::string& occurrencePacket()
{
    static const std::string xml = [] {
        kzt::Packet packet;
        packet.fields = {{"CDGRPOCOR", kzt::FieldType::String, 2},
                         {"CDOCORR", kzt::FieldType::String, 2},
                         {"CDTIPRISCO", kzt::FieldType::String, 2},
                         {"DSOCORR", kzt::FieldType::String, 40},
                         {"CDPRODUTO", kzt::FieldType::String, 10},
                         {"IDCONTROLAOBS", kzt::FieldType::String, 1}};
        packet.rows.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            packet.rows.push_back({twoDigits(i / 100), twoDigits(i), std::string("01"),
                                   "SEM TOMATE, MOLHO \xC0 PARTE N.\xBA " + std::to_string(i),
                                   std::to_string(1000000 + i), std::string(i % 3 ? "N" : "A")});
        }
        return kzt::writePacket(packet);
    }();
    return xml;
}

// The dataset as the dialog declares it: its own field order, flags and labels.
void declareOccurrences(kzt::ClientDataSet& ds)
{
    ds.addFieldDef({"CDGRPOCOR", kzt::FieldType::String, 2, false, {}});
    ds.addFieldDef({"CDOCORR", kzt::FieldType::String, 2, true,
                    "C\xF3"
                    "digo"});
    ds.addFieldDef({"CDTIPRISCO", kzt::FieldType::String, 2, false, {}});
    ds.addFieldDef({"DSOCORR", kzt::FieldType::String, 40, true, "Descri\xE7\xE3o"});
    ds.addFieldDef({"IDCONTROLAOBS", kzt::FieldType::String, 1, false, {}});
    ds.addFieldDef({"CDPRODUTO", kzt::FieldType::String, 10, false, {}});
}

void setRate(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * kRows);
    state.SetBytesProcessed(state.iterations()
                            * static_cast<std::int64_t>(occurrencePacket().size()));
}

void BM_PugixmlParse(benchmark::State& state)
{
    const std::string& xml = occurrencePacket();
    for (auto _ : state) {
        pugi::xml_document doc;
        const auto result =
            doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
        benchmark::DoNotOptimize(result.status);
    }
    setRate(state);
}

void BM_DataSetLoad(benchmark::State& state)
{
    const kzt::Variant packet = kzt::Variant::fromPacket(occurrencePacket());
    for (auto _ : state) {
        kzt::ClientDataSet cdsObs("cdsObs");
        declareOccurrences(cdsObs);
        cdsObs.setData(packet);
        benchmark::DoNotOptimize(cdsObs.recordCount());
    }
    setRate(state);
}

// The same load with the dataset's teardown (freeing 100,000 rows) left out of the timing,
// to show how much of the load figure is the release of the previous rows.
void BM_DataSetLoadWithoutTeardown(benchmark::State& state)
{
    const kzt::Variant packet = kzt::Variant::fromPacket(occurrencePacket());
    for (auto _ : state) {
        state.PauseTiming();
        auto cdsObs = std::make_unique<kzt::ClientDataSet>("cdsObs");
        declareOccurrences(*cdsObs);
        state.ResumeTiming();
        cdsObs->setData(packet);
        benchmark::DoNotOptimize(cdsObs->recordCount());
        state.PauseTiming();
        cdsObs.reset();
        state.ResumeTiming();
    }
    setRate(state);
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, std::size_t size) override
    {
        out.append(static_cast<const char*>(data), size);
    }
};

void BM_PugixmlPrint(benchmark::State& state)
{
    pugi::xml_document doc;
    doc.load_buffer(occurrencePacket().data(), occurrencePacket().size(),
                    pugi::parse_default | pugi::parse_declaration, pugi::encoding_utf8);
    for (auto _ : state) {
        StringWriter writer;
        doc.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
        benchmark::DoNotOptimize(writer.out.data());
    }
    setRate(state);
}

void BM_DataSetSave(benchmark::State& state)
{
    kzt::ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(kzt::Variant::fromPacket(occurrencePacket()));
    for (auto _ : state) {
        const kzt::Variant data = cdsObs.data();
        benchmark::DoNotOptimize(data.packet().data());
    }
    setRate(state);
}

} // namespace

BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetLoadWithoutTeardown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlPrint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataSetSave)->Unit(benchmark::kMillisecond);

// Keep freed memory in the process: otherwise each run pays the kernel to fault a fresh
// 14 MB copy of the document back in, and which benchmark pays depends on their order.
int main(int argc, char** argv)
{
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
