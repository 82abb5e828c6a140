#include "station/app/routines.h"

#include "server/Srv_kzt00318.h"

#include "platform/text.h"

#include <dlfcn.h>

#include <functional>

namespace station {

namespace {

// The module exports the routines under their C++ names; these are the names the
// compiler gives the declarations in server/Srv_kzt00318.h.
#define KZT_WIDE "RKNSt7__cxx1112basic_stringIDsSt11char_traitsIDsESaIDsEEE"
#define KZT_NARROW "RKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"

using Args = std::vector<std::string>;

struct Routine {
    const char* name;
    const char* symbol;
    const char* arguments; // for the usage message
    std::size_t count;
    std::function<kzt::Variant(void* address, const Args& args)> call;
};

std::u16string wide(const std::string& utf8)
{
    return kzt::utf8ToUtf16(utf8);
}

// getQtMaxObserv's product in the code page, refused before the module is called when it
// has no form there: as "?" it could match another product. The routines taking wide
// text refuse such codes themselves.
std::string product(const std::string& utf8)
{
    if (const auto cp1252 = kzt::utf8ToCp1252Exact(utf8))
        return *cp1252;
    throw kzt::Error("getQtMaxObserv: the argument P_CDPRODUTO holds a character with no "
                     "Windows-1252 form.");
}

template <typename Fn>
Fn* as(void* address)
{
    return reinterpret_cast<Fn*>(address);
}

const std::vector<Routine>& routines()
{
    using namespace Srv_kzt00318;
    static const std::vector<Routine> table = {
        {"getOcorCanc", "_ZN12Srv_kzt0031811getOcorCancE" KZT_WIDE "S7_", "branch store", 2,
         [](void* f, const Args& a) {
             return as<decltype(getOcorCanc)>(f)(wide(a[0]), wide(a[1]));
         }},
        {"getOcorPed", "_ZN12Srv_kzt0031810getOcorPedE" KZT_WIDE "S7_S7_", "branch store product",
         3,
         [](void* f, const Args& a) {
             return as<decltype(getOcorPed)>(f)(wide(a[0]), wide(a[1]), wide(a[2]));
         }},
        {"getOcorCancProd", "_ZN12Srv_kzt0031815getOcorCancProdE" KZT_WIDE "S7_S7_",
         "branch store product", 3,
         [](void* f, const Args& a) {
             return as<decltype(getOcorCancProd)>(f)(wide(a[0]), wide(a[1]), wide(a[2]));
         }},
        {"getOcorDesc", "_ZN12Srv_kzt0031811getOcorDescE" KZT_WIDE "S7_", "branch store", 2,
         [](void* f, const Args& a) {
             return as<decltype(getOcorDesc)>(f)(wide(a[0]), wide(a[1]));
         }},
        {"getNrSeqVenda", "_ZN12Srv_kzt0031813getNrSeqVendaE" KZT_WIDE "S7_", "branch till", 2,
         [](void* f, const Args& a) {
             return kzt::Variant(as<decltype(getNrSeqVenda)>(f)(wide(a[0]), wide(a[1])));
         }},
        {"getObrigaObsCan", "_ZN12Srv_kzt0031815getObrigaObsCanE" KZT_WIDE "S7_", "branch store", 2,
         [](void* f, const Args& a) {
             return kzt::Variant(as<decltype(getObrigaObsCan)>(f)(wide(a[0]), wide(a[1])));
         }},
        {"getQtMaxObserv", "_ZN12Srv_kzt0031814getQtMaxObservE" KZT_NARROW, "product", 1,
         [](void* f, const Args& a) {
             return kzt::Variant(as<decltype(getQtMaxObserv)>(f)(product(a[0])));
         }},
    };
    return table;
}

#undef KZT_WIDE
#undef KZT_NARROW

} // namespace

std::vector<std::string> routineNames()
{
    std::vector<std::string> names;
    for (const auto& routine : routines())
        names.emplace_back(routine.name);
    return names;
}

std::optional<std::pair<std::size_t, std::string>> routineArguments(const std::string& routine)
{
    for (const auto& candidate : routines()) {
        if (routine == candidate.name)
            return std::pair<std::size_t, std::string>(candidate.count, candidate.arguments);
    }
    return std::nullopt;
}

kzt::Variant callRoutine(void* module, const std::string& routine, const Args& args)
{
    const Routine* found = nullptr;
    for (const auto& candidate : routines()) {
        if (routine == candidate.name)
            found = &candidate;
    }
    if (!found) {
        std::string known;
        for (const auto& name : routineNames())
            known += (known.empty() ? "" : ", ") + name;
        throw RoutineUsageError(kzt::utf8ToCp1252("unknown routine \"" + kzt::quotedUtf8(routine)
                                                  + "\"; the module's routines are " + known));
    }
    if (args.size() != found->count)
        throw RoutineUsageError(kzt::utf8ToCp1252(routine + " takes " + std::to_string(found->count)
                                                  + " argument" + (found->count == 1 ? "" : "s")
                                                  + " (" + found->arguments + "), "
                                                  + std::to_string(args.size()) + " given"));

    dlerror();
    void* address = module ? dlsym(module, found->symbol) : nullptr;
    if (!address) {
        const char* why = module ? dlerror() : "no module is loaded";
        throw kzt::Error(kzt::utf8ToCp1252("the module does not export " + routine + ": "
                                           + (why ? why : "no such symbol")));
    }
    return found->call(address, args);
}

} // namespace station
