// Placeholder bodies so the unit links while confirm, exit, clear and keys are being written.
#include "frmobservacao.h"

namespace Cli_kzt00318 {
void TfrmObservacao::FormKeyDown(QObject*, std::uint16_t&, kzt::ShiftState) {}
void TfrmObservacao::sptConfirmarClick(QObject*) {}
void TfrmObservacao::sbtSairClick(QObject*) {}
void TfrmObservacao::btnLimparObsClick(QObject*) {}
void TfrmObservacao::btnEsperaProdClick(QObject*) {}
void TfrmObservacao::PostText(const QByteArray&, bool, bool) {}
} // namespace Cli_kzt00318
