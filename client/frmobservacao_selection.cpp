// Placeholder bodies so the unit links while selection is being written.
#include "frmobservacao.h"

namespace Cli_kzt00318 {
void TfrmObservacao::sbt01Click(QObject*) {}
void TfrmObservacao::sbtPesquisaClick(QObject*) {}
} // namespace Cli_kzt00318
