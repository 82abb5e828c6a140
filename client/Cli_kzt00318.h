#pragma once

// Unit Cli_kzt00318: the entry point the host calls, the end-of-sale switch, and the
// module-level state the host may read.

#include "platform/error.h"
#include "platform/variant.h"
#include "server/module_global.h"

#include <cstdint>
#include <string>

namespace Cli_kzt00318 {

class TfrmObservacao;

// Errors of the dialog unit itself (a result the call cannot fill, a call made while an
// earlier one is still showing its dialog). Like every error, shown by Observacao.
class ObservacaoError : public kzt::Error {
public:
    using Error::Error;
};

// Shows the observation dialog for one request and returns the composed text ("erro" when
// the operator left without confirming). `request` points at the first of the request's
// entries and `high` is its highest index (an open array); `result` must hold an array of
// variants covering indices 0 to 4, which receives the group code, the waiting time, the
// chosen occurrences (packet), the free text and the controlled records (packet).
KZT_MODULE_API std::string Observacao(const kzt::Variant* request, int high, kzt::Variant& result);

// Observacao, telling also why a call ended without the dialog's answer: `failure` is the
// error shown to the operator then (Windows-1252), "" when the dialog ran to its close.
// The C interface hands it to the host.
struct ObservacaoOutcome {
    std::string returned;
    std::string failure;
};
ObservacaoOutcome runObservacao(const kzt::Variant* request, int high, kzt::Variant& result);

// End-of-sale mode: when `codigo` is exactly "IDSOLOBSFINVEN", rearranges the dialog of
// the call in progress and shows `titulo` alone in its header. Without a dialog it does
// nothing.
KZT_MODULE_API void ObservacaoFinal(const std::string& codigo, const std::string& titulo);

extern KZT_MODULE_API TfrmObservacao* frmObservacao;
extern KZT_MODULE_API bool boCriado;
extern KZT_MODULE_API bool boClickAutomatico;
extern KZT_MODULE_API bool boObsFinVen;
extern KZT_MODULE_API std::string stCdOcorr;
extern KZT_MODULE_API std::string stEsperaProd;
extern KZT_MODULE_API std::string stCdCliDeb;
extern KZT_MODULE_API std::string stCdConsDeb;
extern KZT_MODULE_API std::string stHora;

// When the last dialog's list came from the offline cache, the time the server gave it
// (seconds since the epoch); 0 when it was read live.
extern std::int64_t offlineListReadAt;

// Module load and unload steps: the package shell runs the load step; the unload step
// runs as the library's objects are destroyed, before the texts above are.
void moduleLoad();
void moduleUnload();

} // namespace Cli_kzt00318

// The same entry point under its plain name, for hosts that look it up with dlsym.
extern "C" KZT_MODULE_API std::string Observacao(const kzt::Variant* request, int high,
                                                 kzt::Variant& result);
