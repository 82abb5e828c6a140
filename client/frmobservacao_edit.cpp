// Free text: the on-screen editor opened on the whole composed text. Whatever lies beyond
// the old length when the editor returns counts as typed and is kept in stTextoLivre.

#include "client/frmobservacao.h"

#include "host/companion.h"
#include "host/hostlib.h"
#include "platform/text.h"

#include <string>

namespace Cli_kzt00318 {

void TfrmObservacao::sbtEditaDescClick(QObject* Sender)
{
    const std::string anterior = lblDesc->caption();
    const std::size_t l0 = anterior.size();

    // Only the automatic opening at the end of a sale asks for the sale's observation.
    const std::string prompt =
        Sender == nullptr ? kzt::utf8ToCp1252("Informe a Observação da Venda") : std::string();
    stDescricao = host::EditaTexto(prompt, anterior, 0, 0, 0);

    if (!host::EmptyString(stDescricao) && !stDescricao.empty()) {
        stDescricao = host::iif(stDescricao.back() == ';', stDescricao, stDescricao + ";").asText();
    }
    const std::size_t l1 = stDescricao.size();
    lblDesc->setCaption(stDescricao);
    if (l1 > l0) {
        const std::string livre = stDescricao.substr(l0, l1 - l0);
        stTextoLivre += livre;
        // Typed text is a choice like any other: shown while recorded, taken back alone.
        registraEscolha({std::string(), livre, std::string(), std::string()});
    } else {
        mostraEscolhas();
    }
}

} // namespace Cli_kzt00318
