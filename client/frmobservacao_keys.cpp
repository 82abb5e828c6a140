// Ending and resetting the composition (confirm, exit, clear), the production waiting
// time, the keyboard, and PostText, which feeds text to the dialog as key messages.

#include "client/frmobservacao.h"

#include "client/Cli_kzt00318.h"
#include "host/companion.h"
#include "host/hostlib.h"
#include "platform/text.h"
#include "platform/ui/keys.h"

#include <string>

namespace Cli_kzt00318 {

void TfrmObservacao::sptConfirmarClick(QObject*)
{
    // Only what was composed here satisfies a required observation, not the item's old one.
    if (host::EmptyString(lblDesc->caption()) && stObrigaObs == "S") {
        mostraMensagem(msgPadrao->Msg("Obs_Inf"));
        return;
    }
    stRetorno = lblObsAtual->caption() + lblDesc->caption();
    closeForm();
}

void TfrmObservacao::sbtSairClick(QObject*)
{
    // The composition stays: the host still receives it and tells an exit by "erro".
    stRetorno = "erro";
    closeForm();
}

// Asks first: the panel offers each choice alone and "Limpar todas"; a stray touch on this
// button, next to "Espera de Produção", costs nothing.
void TfrmObservacao::btnLimparObsClick(QObject*)
{
    pnlEscolhas->open();
}

void TfrmObservacao::btnLimparObsTudo()
{
    // A blank, not an empty caption: the item's old observation is dropped from the result.
    lblObsAtual->setCaption(" ");
    lblDesc->setCaption(std::string());
    stDescricao.clear();
    if (!cdsControlaObs.isEmpty())
        cdsControlaObs.emptyDataSet();
    if (!cdsOcorrencia.isEmpty())
        cdsOcorrencia.emptyDataSet();
    // The typed text stays recorded, as it always has; it stays in view as such and can be
    // taken back on its own.
    limpaOcorrencias();
}

void TfrmObservacao::btnEsperaProdClick(QObject*)
{
    const std::string numDeve = msgPadrao->Msg("Num_Deve");
    const std::string msgMin = msgPadrao->Msg("Msg_Min");
    const std::string tempEsp = msgPadrao->Msg("Temp_Esp");
    const std::string antes = stEsperaProd;
    host::TecladoNumerico(stEsperaProd, tempEsp, msgMin, numDeve, 3, 0, 0, 0, 0, 0);
    // A keypad left without a number leaves the variable as it was; so the label stays too,
    // hidden or showing the time the host passed in. A number confirmed again shows the same.
    if (stEsperaProd == antes)
        return;

    // Rebuilt from the fixed text, so a second entry replaces the first instead of adding to it.
    lblEsperaProd->setVisible(true);
    lblEsperaProd->setCaption(kzt::utf8ToCp1252("Tempo de espera de produção (minutos):"));
    lblEsperaProd->setCaption(lblEsperaProd->caption() + " " + stEsperaProd);
}

void TfrmObservacao::FormKeyDown(QObject*, std::uint16_t& Key, kzt::ShiftState Shift)
{
    if (Key == kzt::VK_F1 && !boVendaAberta)
        host::RelFiscais();
    if (Key == kzt::VK_ESCAPE && sbtSair->isEnabled())
        sbtSairClick(sbtSair);
    if (Key == kzt::VK_RETURN && sptConfirmar->isEnabled())
        sptConfirmarClick(this);
    // Alt+F4 must not close the dialog; any other modifier set passes through.
    if (Key == kzt::VK_F4 && Shift == kzt::ssAlt)
        Key = 0;
}

void TfrmObservacao::PostText(const QByteArray& stTexto, bool boEnter, bool boChar)
{
    // The character's code goes as the key code untranslated: "p" (112) arrives as F1.
    const kzt::UINT mensagem = boChar ? kzt::WM_CHAR : kzt::WM_KEYDOWN;
    for (const char c : stTexto)
        kzt::SendMessageA(handle(), mensagem, static_cast<unsigned char>(c), 0);
    if (boEnter)
        kzt::SendMessageA(handle(), kzt::WM_KEYDOWN, kzt::VK_RETURN, 0);
}

} // namespace Cli_kzt00318
