// The module library's load and unload steps, run by the dynamic loader when the host
// loads and unloads libkzt00318.so.

#include "client/Cli_kzt00318.h"

namespace {

__attribute__((constructor)) void carregaModulo()
{
    Cli_kzt00318::moduleLoad();
}

__attribute__((destructor)) void descarregaModulo()
{
    Cli_kzt00318::moduleUnload();
}

} // namespace
