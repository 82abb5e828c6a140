// The module library as a host sees it: what it exports, what its load step sets, and
// its entry point found by name.

#include "platform/variant.h"
#include "tests/support/fakepresentation.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kBiblioteca = std::string(KZT_BINARY_DIR) + "/lib/libkzt00318.so";

// Text variables carry the std::string ABI tag in their mangled names.
std::string mangledVariable(const std::string& name, bool text)
{
    return "_ZN12Cli_kzt00318" + std::to_string(name.size()) + name + (text ? "B5cxx11E" : "E");
}

// The demangled names of the library's defined dynamic symbols, parameter lists left off,
// sorted (overloads would show as repeats).
std::vector<std::string> exportados(const std::string& library)
{
    const std::string command = "nm -D -C --defined-only '" + library + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return {"(nm did not start)"};
    std::string output;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        output.append(buffer, n);

    std::vector<std::string> names;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // "<address> <type> <name>"
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
        std::string name = second == std::string::npos ? line : line.substr(second + 1);
        name = name.substr(0, name.find('('));
        // Functions and variables returning or holding std::string carry an ABI tag.
        if (const std::size_t tag = name.find("[abi:"); tag != std::string::npos)
            name.erase(tag, name.find(']', tag) + 1 - tag);
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class PackageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(kBiblioteca))
            << kBiblioteca << " is missing: build the kzt00318 target first";
    }
};

TEST_F(PackageTest, ExportsExactlyTheEntryPointsVariablesDataRoutinesAndCInterface)
{
    std::vector<std::string> expected = {
        "Observacao",
        "Cli_kzt00318::Observacao",
        "Cli_kzt00318::ObservacaoFinal",
        "Cli_kzt00318::frmObservacao",
        "Cli_kzt00318::boCriado",
        "Cli_kzt00318::boClickAutomatico",
        "Cli_kzt00318::boObsFinVen",
        "Cli_kzt00318::stCdOcorr",
        "Cli_kzt00318::stEsperaProd",
        "Cli_kzt00318::stCdCliDeb",
        "Cli_kzt00318::stCdConsDeb",
        "Cli_kzt00318::stHora",
        "Srv_kzt00318::rdmObservacao",
        "Srv_kzt00318::getOcorCanc",
        "Srv_kzt00318::getOcorPed",
        "Srv_kzt00318::getOcorCancProd",
        "Srv_kzt00318::getOcorDesc",
        "Srv_kzt00318::getNrSeqVenda",
        "Srv_kzt00318::getObrigaObsCan",
        "Srv_kzt00318::getQtMaxObserv",
        "Srv_kzt00318::answerCachedAt",
        "kzt_configure",
        "kzt_observacao",
        "kzt_call",
        "kzt_free",
        "kzt_version",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(exportados(kBiblioteca), expected);
}

TEST_F(PackageTest, LoadedLibraryOffersItsEntryPointAndVariablesByName)
{
    using Entrada = std::string (*)(const kzt::Variant*, int, kzt::Variant&);
    std::unique_ptr<void, int (*)(void*)> lib(dlopen(kBiblioteca.c_str(), RTLD_NOW | RTLD_LOCAL),
                                              dlclose);
    ASSERT_NE(lib, nullptr) << dlerror();

    struct Variavel {
        const char* name;
        bool text;
    };
    const Variavel variaveis[] = {
        {"frmObservacao", false}, {"boCriado", false},   {"boClickAutomatico", false},
        {"boObsFinVen", false},   {"stCdOcorr", true},   {"stEsperaProd", true},
        {"stCdCliDeb", true},     {"stCdConsDeb", true}, {"stHora", true},
    };
    for (const Variavel& v : variaveis) {
        SCOPED_TRACE(v.name);
        void* address = dlsym(lib.get(), mangledVariable(v.name, v.text).c_str());
        ASSERT_NE(address, nullptr) << dlerror();
        if (v.text) {
            EXPECT_EQ(*static_cast<std::string*>(address), "") << "texts start empty";
        }
    }
    // The load step ran: no dialog is taken as created.
    EXPECT_FALSE(*static_cast<bool*>(dlsym(lib.get(), mangledVariable("boCriado", false).c_str())));

    // The plain name, and the unit-qualified one (mangled, with the std::string ABI tag).
    for (const char* name :
         {"Observacao", "_ZN12Cli_kzt0031810ObservacaoB5cxx11EPKN3kzt7VariantEiRS1_"}) {
        SCOPED_TRACE(name);
        auto entrada = reinterpret_cast<Entrada>(dlsym(lib.get(), name));
        ASSERT_NE(entrada, nullptr) << dlerror();
        // A result the call cannot fill is refused before any dialog: no window to answer.
        kzt::test::FakePresentation pessoa;
        kzt::Variant resultado;
        EXPECT_EQ(entrada(nullptr, -1, resultado), "");
        EXPECT_EQ(pessoa.messageTexts(),
                  std::vector<std::string>{
                      "O resultado da observação deve ser uma lista com as posições 0 a 4."});
    }
}

} // namespace
