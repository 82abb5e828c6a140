#pragma once

// TfrmObservacao: the touch dialog on which the operator composes an observation.
// Its design (controls, glyphs, message table, datasets) is built in the constructor;
// its behaviour is spread over files named for what they hold.

#include "client/choicepanel.h"
#include "host/blended.h"
#include "platform/clientdataset.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/variant.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Cli_kzt00318 {

// One thing the host will receive because the operator put it there: an occurrence chosen
// on the grid or in the search list, or a piece of free text typed in the editor.
struct Choice {
    std::string code;  // CDOCORR; empty for free text
    std::string piece; // as appended to the composed text: " DSOCORR;" or the typed piece
    std::string kind;  // IDCONTROLAOBS of an occurrence found in cdsObs
    std::string label; // what the operator reads for it (Windows-1252)
};

class TfrmObservacao : public kzt::Form {
    Q_OBJECT
public:
    explicit TfrmObservacao(QWidget* owner = nullptr);
    ~TfrmObservacao() override;

    // Components, in drawing order (bottom to top). Owned by the form through Qt's
    // parent/child tree.
    kzt::Shape* blsBorda;
    host::TBlendedShape* blsCabec;
    kzt::Label* lblCodigo;
    host::TBlendedShape* blsObsAtual;
    kzt::Label* lblObsAtual;
    kzt::Label* lblProduto;
    kzt::Label* lblObsAtu;
    kzt::Bevel* Bevel2;
    host::TBlendedBitBtn* sbtPesquisa;
    host::TBlendedBitBtn* sbtSair;
    kzt::Shape* blsObservacao;
    kzt::Label* lblDesc;
    host::TBlendedBitBtn* sptConfirmar;
    host::TBlendedBitBtn* btnEsperaProd;
    kzt::Label* lblEsperaProd;
    std::array<host::TBlendedBitBtn*, 28> sbtGrade; // sbt01 .. sbt28
    host::TBlendedBitBtn* sbtEditaDesc;
    kzt::Label* lblCodTela;
    host::TBlendedBitBtn* btnLimparObs;
    host::TMessages* msgPadrao;
    // Additions around the design: the operator's own texts for them, the count of
    // controlled choices against the product's maximum, and the panel that takes a choice back.
    host::TMessages* msgEscolhas;
    kzt::Label* lblAdicionais;
    ChoicePanel* pnlEscolhas;
    kzt::Label* lblOffline = nullptr; // made when the list came from the offline cache

    kzt::ClientDataSet cdsObs{"cdsObs"};
    kzt::ClientDataSet cdsParametrosQtr{"cdsParametrosQtr"};
    kzt::ClientDataSet cdsOcorrencia{"cdsOcorrencia"};
    kzt::ClientDataSet cdsControlaObs{"cdsControlaObs"};
    kzt::ClientDataSet cdsRetornaPreco{"cdsRetornaPreco"};

    // One call's state; every text starts empty and the flag false.
    bool boVendaAberta = false;
    std::string stDescricao;
    std::string stRetorno;
    std::string stObrigaObs;
    std::string stTipoObs;
    std::string stCdProduto;
    std::string stCdFilial;
    std::string stCdLoja;
    std::string stIdEsquema;
    std::string stTextoLivre;

    // What the operator chose, in order; the host receives exactly these.
    const std::vector<Choice>& escolhas() const { return mEscolhas; }
    // Takes one choice back: its piece leaves the composed text if there, its rows leave
    // cdsOcorrencia and cdsControlaObs (or, for free text, stTextoLivre).
    void RetiraEscolha(std::size_t indice);
    // Every choice and every other piece of the note, as "Limpar Observações" offers them.
    std::vector<NotePart> partesDaNota() const;
    void RetiraParte(const NotePart& parte);
    // The designed clear, run by the panel's "Limpar todas": every occurrence and the item's
    // old observation go; typed text stays recorded (stTextoLivre) and in view.
    void btnLimparObsTudo();
    // Reads the product's maximum once the list is loaded, when the list has anything it limits.
    void mostraMaximoInicial();
    // The refusal at the maximum: it advises taking one choice back when there is one.
    std::string textoMaximo(int maximo) const;

    // Initialisation (request: its first entry and highest index).
    void InicializaForm(const kzt::Variant* request, int high);
    // Says on the dialog that the list came from the offline cache, read at `readAt`
    // (seconds since the epoch).
    void showOfflineLine(std::int64_t readAt);
    // The occurrence grid.
    void MontaObservacoes();
    void LimpaObservacoes();

    // Event handlers bound by the design.
    void FormCreate(QObject* Sender);
    void FormActivate(QObject* Sender);
    void FormClose(QObject* Sender, kzt::CloseAction& Action);
    void FormKeyDown(QObject* Sender, std::uint16_t& Key, kzt::ShiftState Shift);
    void sbt01Click(QObject* Sender);
    void sbtPesquisaClick(QObject* Sender);
    void sbtEditaDescClick(QObject* Sender);
    void sptConfirmarClick(QObject* Sender);
    void sbtSairClick(QObject* Sender);
    void btnLimparObsClick(QObject* Sender);
    void btnEsperaProdClick(QObject* Sender);

    // Feeds a text to the dialog's own window as key messages; published so that a caller
    // holding the dialog can invoke it by name (QMetaObject::invokeMethod).
    Q_INVOKABLE void PostText(const QByteArray& stTexto, bool boEnter, bool boChar);

private:
    void buildDesign(); // frmobservacao_design.cpp
    void bindEvents();
    void buildAdditions(); // frmobservacao_choices.cpp
    // Records an accepted choice and shows everything that depends on the choices.
    void registraEscolha(Choice escolha);
    // Clearing takes back every occurrence; typed pieces stay recorded (stTextoLivre).
    void limpaOcorrencias();
    // Badges, the maximum counter, the unavailable look and the note's view, from the state.
    void mostraEscolhas();
    void leMaximo(int maximo);
    // Shows a message with the dialog's usual arguments (type 3, stIdEsquema).
    void mostraMensagem(const std::string& texto);

    std::vector<Choice> mEscolhas;
    std::map<std::string, std::string> mTipos; // IDCONTROLAOBS of each grid button's code
    int mMaximo = -1;
    bool mTemControlado = false;
};

// How many times the operator chose a grid button's occurrence in this call, painted in
// the top-right corner of its face; nothing while never. It lies over the button and
// passes every touch to it: colours and the button's own properties stay as the design
// and the grid fill set them, and the caption keeps clear of it.
class SeloEscolhas : public QWidget {
    Q_OBJECT
public:
    explicit SeloEscolhas(host::TBlendedBitBtn* botao);
    int quantidade() const { return mQuantidade; }
    void setQuantidade(int quantidade);

    // The badge of a button, or nullptr while it has none.
    static SeloEscolhas* de(const host::TBlendedBitBtn* botao);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int mQuantidade = 0;
};

// Lies over a controlled grid button while pressing it would be refused at the maximum,
// so the button looks unavailable; it passes every touch on, so the press still explains
// itself.
class VeuIndisponivel : public QWidget {
    Q_OBJECT
public:
    explicit VeuIndisponivel(host::TBlendedBitBtn* botao);
    static VeuIndisponivel* de(const host::TBlendedBitBtn* botao);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The five glyphs, redrawn to their descriptions: 34 x 34, 32 bits per pixel.
enum class Glyph { Pesquisa, Sair, Confirmar, EsperaProd, EditaDesc };
QImage glyphImage(Glyph glyph, bool disabled);

} // namespace Cli_kzt00318
