#pragma once

// TfrmObservacao: the touch dialog on which the operator composes an observation.
// Its design (controls, glyphs, message table, datasets) is built in the constructor;
// its behaviour is spread over files named for what they hold.

#include "host/blended.h"
#include "platform/clientdataset.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/variant.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <string>

namespace Cli_kzt00318 {

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
    // The count on the grid buttons of an occurrence the operator chose, and clearing it.
    void contaEscolha(const std::string& cdOcorr);
    void limpaEscolhas();
    // Shows a message with the dialog's usual arguments (type 3, stIdEsquema).
    void mostraMensagem(const std::string& texto);
};

// How many times the operator chose a grid button's occurrence in this call, painted
// small in the top-right corner of its face; nothing while never. It lies over the button
// and passes every touch to it: caption, colours and the button's own properties stay as
// the design and the grid fill set them.
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

// The five glyphs, redrawn to their descriptions: 34 x 34, 32 bits per pixel.
enum class Glyph { Pesquisa, Sair, Confirmar, EsperaProd, EditaDesc };
QImage glyphImage(Glyph glyph, bool disabled);

} // namespace Cli_kzt00318
