// The operator's choices as one list: what the host will receive, shown while the dialog is
// up (the note, what the note no longer shows, the badges, the count against the product's
// maximum) and taken back one at a time.

#include "client/choicepanel.h"
#include "client/frmobservacao.h"
#include "client/noteview.h"

#include "host/hostlib.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"

#include <algorithm>
#include <exception>
#include <map>
#include <string>
#include <utility>

namespace Cli_kzt00318 {

namespace {

const char* const kMensagensEscolhas[] = {
    "QTMAXOBS_Ret|A quantidade máxima de observações para o produto foi atingida! Para trocar "
    "uma delas, toque em Limpar Observações e retire só a que não quer. A quantidade máxima de "
    "observações desse produto é %s.",
    "Fora_Texto|Registrado fora do texto:",
    "Adicionais|Adicionais",
};

constexpr std::size_t kNenhum = std::string::npos;

// Whether a piece may start at p: only blanks between it and the text's start or a ";".
bool comecaPedaco(const std::string& texto, std::size_t p)
{
    while (p > 0 && texto[p - 1] == ' ')
        --p;
    return p == 0 || texto[p - 1] == ';';
}

// Where each choice's piece stands in the composed text, kNenhum where it no longer does.
// A piece counts only where a piece may start, and equal pieces take their places in the
// order they were chosen.
std::vector<std::size_t> lugares(const std::vector<Choice>& escolhas, const std::string& texto)
{
    std::vector<std::size_t> lugar(escolhas.size(), kNenhum);
    std::vector<bool> coberto(texto.size(), false);
    std::map<std::string, std::size_t> busca; // piece -> where to look from
    for (std::size_t i = 0; i < escolhas.size(); ++i) {
        const std::string& pedaco = escolhas[i].piece;
        if (pedaco.empty())
            continue;
        const std::size_t desde = busca[pedaco];
        for (std::size_t p = texto.find(pedaco, desde); p != std::string::npos;
             p = texto.find(pedaco, p + 1)) {
            const bool inicio = comecaPedaco(texto, p);
            const bool livre =
                std::none_of(coberto.begin() + static_cast<std::ptrdiff_t>(p),
                             coberto.begin() + static_cast<std::ptrdiff_t>(p + pedaco.size()),
                             [](bool c) { return c; });
            if (inicio && livre) {
                lugar[i] = p;
                std::fill_n(coberto.begin() + static_cast<std::ptrdiff_t>(p), pedaco.size(), true);
                break;
            }
        }
        // An equal piece chosen later looks after this one's place; none is left once not found.
        busca[pedaco] = lugar[i] == kNenhum ? texto.size() : lugar[i] + pedaco.size();
    }
    return lugar;
}

// A piece as the operator reads it: without the blanks round it and its closing ";".
std::string legenda(std::string pedaco)
{
    while (!pedaco.empty() && (pedaco.back() == ';' || pedaco.back() == ' '))
        pedaco.pop_back();
    const std::size_t inicio = pedaco.find_first_not_of(' ');
    return inicio == std::string::npos ? std::string() : pedaco.substr(inicio);
}

void apagaLinha(kzt::ClientDataSet& cds, const std::string& codigo)
{
    if (cds.active() && cds.locate("CDOCORR", codigo))
        cds.deleteRecord();
}

} // namespace

void TfrmObservacao::buildAdditions()
{
    msgEscolhas = new host::TMessages(this, QStringLiteral("msgEscolhas"));
    for (const char* linha : kMensagensEscolhas)
        msgEscolhas->Messages.push_back(kzt::utf8ToCp1252(linha));

    // In the header band, beside the prompt and in its type: the count is read with it.
    lblAdicionais = new kzt::Label(blsCabec, QStringLiteral("lblAdicionais"));
    lblAdicionais->setFont({"Arial", 16, true, kzt::clBlack});
    kzt::setBounds(lblAdicionais, 210 - blsCabec->x(), 36 - blsCabec->y(), 220, 19);
    lblAdicionais->setVisible(false);

    // Last, so that it lies over the grid when shown.
    pnlEscolhas = new ChoicePanel(this);
}

void TfrmObservacao::registraEscolha(Choice escolha)
{
    if (escolha.label.empty())
        escolha.label = legenda(escolha.piece);
    mEscolhas.push_back(std::move(escolha));
    mostraEscolhas();
}

void TfrmObservacao::limpaOcorrencias()
{
    std::erase_if(mEscolhas, [](const Choice& c) { return !c.code.empty(); });
    mostraEscolhas();
}

std::vector<NotePart> TfrmObservacao::partesDaNota() const
{
    std::vector<NotePart> partes;
    const std::vector<std::size_t> lugar = lugares(mEscolhas, stDescricao);
    std::vector<bool> coberto(stDescricao.size(), false);
    for (std::size_t i = 0; i < mEscolhas.size(); ++i) {
        const Choice& c = mEscolhas[i];
        NotePart parte;
        parte.choice = i;
        parte.inText = lugar[i] != kNenhum;
        parte.label = c.label;
        parte.kind = c.kind;
        partes.push_back(parte);
        if (parte.inText)
            std::fill_n(coberto.begin() + static_cast<std::ptrdiff_t>(lugar[i]), c.piece.size(),
                        true);
    }
    // What no choice accounts for, piece by piece, so that it too can be taken back.
    const std::size_t n = stDescricao.size();
    std::size_t p = 0;
    while (p < n) {
        if (coberto[p]) {
            ++p;
            continue;
        }
        std::size_t fim = p;
        while (fim < n && !coberto[fim] && stDescricao[fim] != ';')
            ++fim;
        if (fim < n && !coberto[fim])
            ++fim; // its closing ";"
        const std::string pedaco = stDescricao.substr(p, fim - p);
        if (!legenda(pedaco).empty()) {
            NotePart parte;
            parte.isChoice = false;
            parte.start = p;
            parte.length = pedaco.size();
            parte.label = legenda(pedaco);
            partes.push_back(parte);
        }
        p = fim;
    }
    return partes;
}

void TfrmObservacao::RetiraParte(const NotePart& parte)
{
    if (parte.isChoice) {
        RetiraEscolha(parte.choice);
        return;
    }
    if (parte.start + parte.length <= stDescricao.size()) {
        stDescricao.erase(parte.start, parte.length);
        lblDesc->setCaption(stDescricao);
    }
    mostraEscolhas();
}

void TfrmObservacao::RetiraEscolha(std::size_t indice)
{
    if (indice >= mEscolhas.size())
        return;
    const std::size_t lugar = lugares(mEscolhas, stDescricao)[indice];
    const Choice escolha = mEscolhas[indice];
    mEscolhas.erase(mEscolhas.begin() + static_cast<std::ptrdiff_t>(indice));
    if (lugar != kNenhum) {
        stDescricao.erase(lugar, escolha.piece.size());
        lblDesc->setCaption(stDescricao);
    }

    if (escolha.code.empty()) {
        // The free text the host receives is what remains of the typed pieces.
        stTextoLivre.clear();
        for (const Choice& c : mEscolhas)
            if (c.code.empty())
                stTextoLivre += c.piece;
    } else {
        const bool resta = std::any_of(mEscolhas.begin(), mEscolhas.end(),
                                       [&](const Choice& c) { return c.code == escolha.code; });
        // A priced extra has a record for each choice; a recorded-once one keeps its record
        // while any choice of it stays.
        if (escolha.kind == "A" || (escolha.kind == "R" && !resta))
            apagaLinha(cdsControlaObs, escolha.code);
        if (!resta)
            apagaLinha(cdsOcorrencia, escolha.code);
    }
    mostraEscolhas();
}

void TfrmObservacao::leMaximo(int maximo)
{
    // Only a list with controlled occurrences has anything to count.
    if (mTemControlado)
        mMaximo = maximo;
}

void TfrmObservacao::mostraMaximoInicial()
{
    mTemControlado = false;
    if (cdsObs.active() && !cdsObs.isEmpty()) {
        // The grid fill leaves the list on its 29th row; so does this.
        const int onde = cdsObs.recNo();
        for (cdsObs.first(); !cdsObs.eof(); cdsObs.next()) {
            const std::string tipo = cdsObs.fieldByName("IDCONTROLAOBS").asString();
            mTemControlado = mTemControlado || tipo == "A" || tipo == "R";
        }
        cdsObs.moveTo(onde);
    }
    if (mTemControlado) {
        try {
            mMaximo = Srv_kzt00318::getQtMaxObserv(stCdProduto);
        } catch (const std::exception&) {
            // Shown from the first press on, which reads it again and reports the failure.
            mMaximo = -1;
        }
    }
    mostraEscolhas();
}

std::string TfrmObservacao::textoMaximo(int maximo) const
{
    // With nothing to take back, the old advice stands.
    const bool umaARetirar = cdsControlaObs.active() && !cdsControlaObs.isEmpty();
    std::string texto = umaARetirar ? msgEscolhas->Msg("QTMAXOBS_Ret") : msgPadrao->Msg("QTMAXOBS");
    const auto pos = texto.find("%s");
    if (pos != std::string::npos)
        texto.replace(pos, 2, std::to_string(maximo));
    return texto;
}

void TfrmObservacao::mostraEscolhas()
{
    // What the panel lists would no longer be the note.
    if (pnlEscolhas->isVisible())
        pnlEscolhas->close();

    std::map<std::string, int> porCodigo;
    for (const Choice& c : mEscolhas)
        if (!c.code.empty())
            ++porCodigo[c.code];

    // A maximum of 9999 stands for none.
    const int controlados = cdsControlaObs.active() ? cdsControlaObs.recordCount() : 0;
    const bool temMaximo = mMaximo >= 0 && mMaximo < 9999;
    const bool noMaximo = temMaximo && controlados >= mMaximo;
    lblAdicionais->setVisible(temMaximo);
    if (temMaximo) {
        lblAdicionais->setCaption(msgEscolhas->Msg("Adicionais") + " " + std::to_string(controlados)
                                  + "/" + std::to_string(mMaximo));
        lblAdicionais->setFont({"Arial", 16, true, noMaximo ? kzt::rgb(153, 0, 0) : kzt::clBlack});
    }

    for (host::TBlendedBitBtn* botao : sbtGrade) {
        const auto achado = porCodigo.find(botao->code());
        const int quantidade = botao->isHidden() || achado == porCodigo.end() ? 0 : achado->second;
        SeloEscolhas* selo = SeloEscolhas::de(botao);
        if (selo == nullptr && quantidade > 0)
            selo = new SeloEscolhas(botao); // owned by the button
        if (selo != nullptr)
            selo->setQuantidade(quantidade);

        // Unavailable: a press would be refused at the maximum (a recorded-once choice
        // already made still passes).
        bool recusaria = false;
        if (noMaximo && !botao->isHidden()) {
            const auto tipoAchado = mTipos.find(botao->code());
            const std::string tipo = tipoAchado == mTipos.end() ? "" : tipoAchado->second;
            recusaria = tipo == "A" || (tipo == "R" && achado == porCodigo.end());
        }
        VeuIndisponivel* veu = VeuIndisponivel::de(botao);
        if (veu == nullptr && recusaria)
            veu = new VeuIndisponivel(botao); // owned by the button
        if (veu != nullptr) {
            veu->setVisible(recusaria);
            if (selo != nullptr)
                selo->raise();
        }
    }

    // What the host receives but the note no longer shows.
    std::string fora;
    const std::vector<std::size_t> lugar = lugares(mEscolhas, stDescricao);
    for (std::size_t i = 0; i < mEscolhas.size(); ++i)
        if (lugar[i] == kNenhum)
            fora += " " + mEscolhas[i].label + ";";
    auto* nota = static_cast<NoteView*>(lblDesc);
    nota->setOutside(fora.empty() ? std::string() : msgEscolhas->Msg("Fora_Texto") + fora);
    nota->lineCount(); // lays it out now: the scroll buttons follow the text
}

} // namespace Cli_kzt00318
