// TfrmObservacao's design: the window, its controls in drawing order, the glyphs, the
// message table, the datasets and the event bindings; and the create, activate and close
// handlers.

#include "client/frmobservacao.h"

#include "client/Cli_kzt00318.h"
#include "client/noteview.h"

#include "host/hostlib.h"
#include "platform/db/connectionstring.h"
#include "platform/text.h"

#include <QRect>

namespace Cli_kzt00318 {

namespace {

using kzt::FontSpec;
using kzt::TColor;

constexpr TColor clLaranja = kzt::rgb(204, 91, 44);      // 2907084
constexpr TColor clCinzaClaro = kzt::rgb(204, 204, 204); // 13421772

// The window's own font, used by the controls that have none of their own.
const FontSpec kFonteForm{"MS Sans Serif", 11, false, kzt::clMenu};

QString nome(const char* name)
{
    return QString::fromLatin1(name);
}

std::string texto(const char* utf8)
{
    return kzt::utf8ToCp1252(utf8);
}

struct LabelLook {
    bool autoSize = false;
    bool wordWrap = false;
    kzt::Alignment alignment = kzt::Alignment::Left;
    bool visible = true;
};

kzt::Label* newLabel(QWidget* form, const char* name, QRect bounds, const char* captionUtf8,
                     const FontSpec& font, LabelLook look = {})
{
    auto* label = new kzt::Label(form, nome(name));
    label->setTransparent(true);
    label->setFont(font);
    label->setCaption(texto(captionUtf8));
    label->setAlignment(look.alignment);
    label->setWordWrap(look.wordWrap);
    label->setAutoSize(look.autoSize);
    // The design's bounds last: an autosized label keeps them until its text changes.
    kzt::setBounds(label, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    label->setVisible(look.visible);
    return label;
}

struct ButtonLook {
    TColor face;
    TColor disabledFace;
    TColor disabledText;
};

constexpr ButtonLook kBotaoLaranja{clLaranja, clCinzaClaro, kzt::clWhite}; // exit, confirm, grid
constexpr ButtonLook kBotaoTopo{kzt::clGray, clCinzaClaro, kzt::clSilver}; // top bar
constexpr ButtonLook kBotaoEdita{clLaranja, kzt::clGray, kzt::clSilver};

host::TBlendedBitBtn* newButton(QWidget* form, const QString& name, QRect bounds,
                                const char* captionUtf8, const FontSpec& font,
                                const ButtonLook& look)
{
    auto* button = new host::TBlendedBitBtn(form, name);
    button->setCaption(texto(captionUtf8));
    button->setFont(font);
    button->setBrushColor(look.face);
    button->setDownColors(kzt::clWindowText, kzt::clWindow);
    button->setDisabledColors(look.disabledFace, look.disabledText);
    kzt::setBounds(button, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    return button;
}

void glifos(host::TBlendedBitBtn* button, Glyph glyph)
{
    button->setGlyph(glyphImage(glyph, false));
    button->setGlyphDisabled(glyphImage(glyph, true));
}

// The top-bar buttons put glyph and caption edge to edge.
void semMargem(host::TBlendedBitBtn* button)
{
    button->setMargin(0);
    button->setSpacing(0);
}

kzt::Shape* novaMoldura(QWidget* form, const char* name, QRect bounds, TColor pen)
{
    auto* shape = new kzt::Shape(form, nome(name));
    shape->setKind(kzt::Shape::Kind::Rectangle);
    shape->setBrushColor(kzt::clWhite);
    shape->setPen(pen, 2);
    kzt::setBounds(shape, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    return shape;
}

host::TBlendedShape* novaFaixa(QWidget* form, const char* name, QRect bounds)
{
    auto* shape = new host::TBlendedShape(form, nome(name));
    kzt::setBounds(shape, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    return shape;
}

const char* const kMensagens[] = {
    "Cod_Inv|Observação não cadastrada.",
    "Obs_Inf|Observação deve ser informada.",
    "N_osb|Não existe nenhuma observação cadastrada para o produto vendido.",
    "Temp_Esp|Informe o tempo de espera",
    "Msg_Min|minutos",
    "Num_Deve|Número deve ser informado!",
    "Preco_deve|Preço do produto deve ser cadastrado.",
    "TabePrec|Tabela de preço deve ser parametrizada.",
    "VigenciaPar|Não há tabela de preço padrão vigente.",
    "VigenciaLoj|Não há tabela de preço da loja vigente.",
    "VigenciaCli|Não há tabela de preço do cliente vigente.",
    "Preco_Zero|Preço do produto deve ser maior que zero.",
    "Prod_bloqueado|Operação bloqueada. Produto indisponível no momento.",
    "QTMAXOBS|A quantidade máxima de observações para o produto foi atingida! Favor limpar as "
    "observações para trocar as já existentes. A quantidade máxima de observações desse "
    "produto é %s.",
};

kzt::FieldDef campoTexto(const char* name, int size, bool visible = true,
                         const char* labelUtf8 = "")
{
    return {name, kzt::FieldType::String, size, visible, kzt::utf8ToCp1252(labelUtf8)};
}

kzt::FieldDef campoReal(const char* name)
{
    return {name, kzt::FieldType::Float, 0, true, {}};
}

} // namespace

TfrmObservacao::TfrmObservacao(QWidget* owner) : kzt::Form(owner)
{
    buildDesign();
    bindEvents();
    FormCreate(this);
}

TfrmObservacao::~TfrmObservacao() = default;

void TfrmObservacao::buildDesign()
{
    setObjectName(nome("frmObservacao"));
    setClientSize(746, 571);
    setCaption(texto("Observação"));
    setColor(kzt::clBlack);

    blsBorda = novaMoldura(this, "blsBorda", QRect(0, 0, 746, 571), clLaranja);
    blsCabec = novaFaixa(this, "blsCabec", QRect(16, 2, 697, 64));
    lblCodigo =
        newLabel(this, "lblCodigo", QRect(19, 36, 171, 19),
                 "Informe a observação:", {"Arial", 16, true, kzt::clBlack}, {.autoSize = true});
    blsObsAtual = novaFaixa(this, "blsObsAtual", QRect(17, 174, 719, 57));
    lblObsAtual = newLabel(this, "lblObsAtual", QRect(91, 183, 644, 44), "observacao autal",
                           {"Arial", 11, true, kzt::clBlack}, {.wordWrap = true});
    lblProduto = newLabel(this, "lblProduto", QRect(20, 9, 521, 19), "Nome do Produto",
                          {"Arial", 16, true, kzt::clBlack});
    lblObsAtu = newLabel(this, "lblObsAtu", QRect(20, 193, 64, 15),
                         "Obs.  Atual:", {"Arial", 12, true, kzt::clBlack},
                         {.autoSize = true, .alignment = kzt::Alignment::Center});
    Bevel2 = new kzt::Bevel(this, nome("Bevel2"));
    kzt::setBounds(Bevel2, 87, 178, 2, 51);

    sbtPesquisa = newButton(this, nome("sbtPesquisa"), QRect(643, 6, 96, 66), "",
                            {"Tahoma", 11, true, kzt::clNavy}, kBotaoTopo);
    glifos(sbtPesquisa, Glyph::Pesquisa);
    sbtPesquisa->setLayout(host::TButtonLayout::blGlyphRight);
    semMargem(sbtPesquisa);

    sbtSair = newButton(this, nome("sbtSair"), QRect(19, 511, 57, 46), "",
                        {"Tahoma", 21, false, kzt::clWindowText}, kBotaoLaranja);
    glifos(sbtSair, Glyph::Sair);

    blsObservacao = novaMoldura(this, "blsObservacao", QRect(18, 93, 717, 81), kzt::clBlack);
    // The composed text scrolls within the label's bounds when it outgrows them.
    auto* nota = new NoteView(this, nome("lblDesc"));
    nota->setTransparent(true);
    nota->setFont({"Arial", 13, true, kzt::clBlack});
    nota->setWordWrap(true);
    kzt::setBounds(nota, 26, 98, 705, 71);
    lblDesc = nota;

    sptConfirmar = newButton(this, nome("sptConfirmar"), QRect(595, 511, 130, 46), "", kFonteForm,
                             kBotaoLaranja);
    glifos(sptConfirmar, Glyph::Confirmar);

    btnEsperaProd = newButton(this, nome("btnEsperaProd"), QRect(543, 6, 96, 66),
                              "Espera de Produção", {"Arial", 12, true, kzt::clWhite}, kBotaoTopo);
    glifos(btnEsperaProd, Glyph::EsperaProd);
    btnEsperaProd->setLayout(host::TButtonLayout::blGlyphTop);
    semMargem(btnEsperaProd);

    lblEsperaProd =
        newLabel(this, "lblEsperaProd", QRect(19, 66, 314, 19),
                 "Tempo de espera de produção (minutos):", {"Arial", 16, true, kzt::clBlack},
                 {.autoSize = true, .visible = false});

    // Five columns 144 apart, rows 56 apart; the sixth row only in the middle three columns.
    for (int i = 0; i < 28; ++i) {
        const int coluna = i < 25 ? i % 5 : i - 25 + 1;
        const int linha = i < 25 ? i / 5 : 5;
        const QString name = QStringLiteral("sbt%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        sbtGrade[i] = newButton(this, name, QRect(19 + 144 * coluna, 232 + 56 * linha, 130, 46), "",
                                {"Arial", 16, false, kzt::clWhite}, kBotaoLaranja);
        sbtGrade[i]->setVisible(false);
    }

    sbtEditaDesc = newButton(this, nome("sbtEditaDesc"), QRect(91, 511, 57, 46), "",
                             {"Arial", 15, true, kzt::clNavy}, kBotaoEdita);
    glifos(sbtEditaDesc, Glyph::EditaDesc);

    lblCodTela = newLabel(this, "lblCodTela", QRect(601, 557, 138, 14),
                          "F1 - Menu Fiscal - Kzt00318", {"Arial", 11, false, kzt::clGray},
                          {.autoSize = true, .alignment = kzt::Alignment::Right});

    btnLimparObs = newButton(this, nome("btnLimparObs"), QRect(443, 6, 96, 66),
                             "                   Limpar Observações",
                             {"Arial", 12, true, kzt::clWhite}, kBotaoTopo);
    semMargem(btnLimparObs);

    msgPadrao = new host::TMessages(this, nome("msgPadrao"));
    for (const char* linha : kMensagens)
        msgPadrao->Messages.push_back(kzt::utf8ToCp1252(linha));
    buildAdditions();

    cdsObs.addFieldDef(campoTexto("CDGRPOCOR", 2, false));
    cdsObs.addFieldDef(campoTexto("CDOCORR", 2, true, "Código"));
    cdsObs.addFieldDef(campoTexto("CDTIPRISCO", 2, false));
    cdsObs.addFieldDef(campoTexto("DSOCORR", 40, true, "Descrição"));
    cdsObs.addFieldDef(campoTexto("IDCONTROLAOBS", 1, false));
    cdsObs.addFieldDef(campoTexto("CDPRODUTO", 10, false));

    cdsOcorrencia.addFieldDef(campoTexto("CDOCORR", 2));

    cdsControlaObs.addFieldDef(campoTexto("CDOCORR", 2, true, "Código"));
    cdsControlaObs.addFieldDef(campoTexto("CDPRODUTO", 10));
    cdsControlaObs.addFieldDef(campoTexto("IDCONTROLAOBS", 1));

    cdsRetornaPreco.addFieldDef(campoReal("VRPRECO"));
    cdsRetornaPreco.addFieldDef(campoReal("VRDESCONTO"));
    cdsRetornaPreco.addFieldDef(campoReal("VRACRESCIMO"));
    cdsRetornaPreco.addFieldDef(campoReal("VRPRECOCLIE"));
    cdsRetornaPreco.addFieldDef(campoTexto("IDPRECVARIA", 1));
    cdsRetornaPreco.addFieldDef(campoTexto("IDPERCVALOR", 1));
    cdsRetornaPreco.addFieldDef(campoTexto("IDACREDESC", 1));
    cdsRetornaPreco.addFieldDef(campoReal("VRPRECODIA"));
}

void TfrmObservacao::bindEvents()
{
    onActivate = [this](QObject* sender) { FormActivate(sender); };
    onClose = [this](QObject* sender, kzt::CloseAction& action) { FormClose(sender, action); };
    onKeyDown = [this](QObject* sender, std::uint16_t& key, kzt::ShiftState shift) {
        FormKeyDown(sender, key, shift);
    };

    sbtPesquisa->OnClick = [this](QObject* sender) { sbtPesquisaClick(sender); };
    sbtSair->OnClick = [this](QObject* sender) { sbtSairClick(sender); };
    sptConfirmar->OnClick = [this](QObject* sender) { sptConfirmarClick(sender); };
    btnEsperaProd->OnClick = [this](QObject* sender) { btnEsperaProdClick(sender); };
    for (host::TBlendedBitBtn* button : sbtGrade)
        button->OnClick = [this](QObject* sender) { sbt01Click(sender); };
    sbtEditaDesc->OnClick = [this](QObject* sender) { sbtEditaDescClick(sender); };
    btnLimparObs->OnClick = [this](QObject* sender) { btnLimparObsClick(sender); };
}

void TfrmObservacao::mostraMensagem(const std::string& texto)
{
    // The host's own library shows what it is given: no connection secret goes to it.
    host::Mensagem(kzt::maskedSecrets(texto), "", "N", "N", host::TTipoMsg::tmAtencao, "",
                   stIdEsquema, 0, nullptr);
}

void TfrmObservacao::FormCreate(QObject* /*Sender*/)
{
    host::Trad(this);
}

void TfrmObservacao::FormActivate(QObject* /*Sender*/)
{
    repaintNow();
    if (boClickAutomatico)
        return;
    sbtEditaDescClick(nullptr);
    boClickAutomatico = true;
}

void TfrmObservacao::FormClose(QObject* /*Sender*/, kzt::CloseAction& /*Action*/)
{
    boCriado = false;
}

} // namespace Cli_kzt00318

// The dialog class has no source of its own name, so its meta-object is built here.
#include "moc_frmobservacao.cpp"
