// The module library's load step, run by the dynamic loader when the host loads
// libkzt00318.so. The unload step runs from an object beside the module variables
// (client/Cli_kzt00318.cpp): at exit() the objects of a library loaded with dlopen are
// destroyed before its destructor functions run, so one here would empty texts that no
// longer exist.

#include "client/Cli_kzt00318.h"

namespace {

__attribute__((constructor)) void carregaModulo()
{
    Cli_kzt00318::moduleLoad();
}

} // namespace
