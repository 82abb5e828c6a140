// The dialog as the operator first sees it, before any call fills it: every control's
// place, look and stacking, the grid, the message table, the datasets and the glyphs.

#include "client/frmobservacao.h"
#include "platform/text.h"
#include "tests/support/fakepresentation.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QPalette>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Cli_kzt00318::Glyph;
using Cli_kzt00318::TfrmObservacao;
using kzt::Alignment;
using kzt::TColor;

constexpr TColor kLaranja = 2907084;
constexpr TColor kCinzaClaro = 13421772;
constexpr TColor kCinza = 8421504;
constexpr TColor kMarinho = 8388608;
constexpr TColor kPrata = 12632256;
constexpr TColor kBranco = 16777215;
constexpr TColor kPreto = 0;

std::unique_ptr<TfrmObservacao> novoDialogo()
{
    return std::make_unique<TfrmObservacao>();
}

template <typename T>
T* controle(TfrmObservacao& f, const char* name)
{
    auto* object = qobject_cast<T*>(f.findComponent(name));
    EXPECT_NE(object, nullptr) << name << " is missing or of another kind";
    return object;
}

struct Fonte {
    const char* name;
    int height;
    bool bold;
    TColor color;
};

void esperaFonte(const kzt::FontSpec& font, const Fonte& expected)
{
    EXPECT_EQ(font.name, expected.name);
    EXPECT_EQ(font.height, expected.height);
    EXPECT_EQ(font.bold, expected.bold);
    EXPECT_EQ(font.color, expected.color);
}

class LayoutTest : public testing::Test {
protected:
    kzt::test::FakePresentation pessoa;
    std::unique_ptr<TfrmObservacao> f = novoDialogo();
};

TEST_F(LayoutTest, WindowIsAFramelessBlackClientAreaTitledObservacao)
{
    EXPECT_EQ(f->objectName(), QStringLiteral("frmObservacao"));
    EXPECT_EQ(f->size(), QSize(746, 571));
    EXPECT_TRUE(f->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(kzt::cp1252ToUtf8(f->caption()), "Observação");
    EXPECT_EQ(f->palette().color(QPalette::Window), QColor(0, 0, 0));
}

TEST_F(LayoutTest, LabelsStandWhereTheDesignPutsThemWithTheirTextsAndFonts)
{
    struct Row {
        const char* name;
        QRect bounds;
        const char* caption;
        Fonte font;
        bool autoSize;
        bool wordWrap;
        Alignment alignment;
        bool visible;
    };
    const Row rows[] = {
        {"lblCodigo",
         {19, 36, 171, 19},
         "Informe a observação:",
         {"Arial", 16, true, kPreto},
         true,
         false,
         Alignment::Left,
         true},
        {"lblObsAtual",
         {91, 183, 644, 44},
         "observacao autal",
         {"Arial", 11, true, kPreto},
         false,
         true,
         Alignment::Left,
         true},
        {"lblProduto",
         {20, 9, 521, 19},
         "Nome do Produto",
         {"Arial", 16, true, kPreto},
         false,
         false,
         Alignment::Left,
         true},
        {"lblObsAtu",
         {20, 193, 64, 15},
         "Obs.  Atual:",
         {"Arial", 12, true, kPreto},
         true,
         false,
         Alignment::Center,
         true},
        {"lblDesc",
         {26, 98, 705, 71},
         "",
         {"Arial", 13, true, kPreto},
         false,
         true,
         Alignment::Left,
         true},
        {"lblEsperaProd",
         {19, 66, 314, 19},
         "Tempo de espera de produção (minutos):",
         {"Arial", 16, true, kPreto},
         true,
         false,
         Alignment::Left,
         false},
        {"lblCodTela",
         {601, 557, 138, 14},
         "F1 - Menu Fiscal - Kzt00318",
         {"Arial", 11, false, kCinza},
         true,
         false,
         Alignment::Right,
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* label = controle<kzt::Label>(*f, r.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->geometry(), r.bounds);
        EXPECT_EQ(kzt::cp1252ToUtf8(label->caption()), r.caption);
        esperaFonte(label->font(), r.font);
        EXPECT_EQ(label->autoSize(), r.autoSize);
        EXPECT_EQ(label->wordWrap(), r.wordWrap);
        EXPECT_EQ(label->alignment(), r.alignment);
        EXPECT_TRUE(label->transparent());
        EXPECT_EQ(!label->isHidden(), r.visible);
    }
}

TEST_F(LayoutTest, ButtonsCarryTheirFacesColoursGlyphsAndPlacement)
{
    using host::TButtonLayout;
    struct Row {
        const char* name;
        QRect bounds;
        const char* caption;
        Fonte font;
        TColor face;
        TColor disabledFace;
        TColor disabledText;
        TButtonLayout layout;
        int margin;  // -1: the control's default
        int spacing; // -1: the control's default
        bool glyph;
        bool glyphDisabled;
        bool visible;
    };
    const TButtonLayout padrao = host::TBlendedBitBtn(nullptr).layout();
    const int espacoPadrao = host::TBlendedBitBtn(nullptr).spacing();
    const Fonte fonteForm{"MS Sans Serif", 11, false, kzt::clMenu};
    const Row rows[] = {
        {"sbtPesquisa",
         {643, 6, 96, 66},
         "",
         {"Tahoma", 11, true, kMarinho},
         kCinza,
         kCinzaClaro,
         kPrata,
         TButtonLayout::blGlyphRight,
         0,
         0,
         true,
         true,
         true},
        {"sbtSair",
         {19, 511, 57, 46},
         "",
         {"Tahoma", 21, false, kzt::clWindowText},
         kLaranja,
         kCinzaClaro,
         kBranco,
         padrao,
         -1,
         espacoPadrao,
         true,
         true,
         true},
        {"sptConfirmar",
         {595, 511, 130, 46},
         "",
         fonteForm,
         kLaranja,
         kCinzaClaro,
         kBranco,
         padrao,
         -1,
         espacoPadrao,
         true,
         true,
         true},
        {"btnEsperaProd",
         {543, 6, 96, 66},
         "Espera de Produção",
         {"Arial", 12, true, kBranco},
         kCinza,
         kCinzaClaro,
         kPrata,
         TButtonLayout::blGlyphTop,
         0,
         0,
         true,
         false,
         true},
        {"sbtEditaDesc",
         {91, 511, 57, 46},
         "",
         {"Arial", 15, true, kMarinho},
         kLaranja,
         kCinza,
         kPrata,
         padrao,
         -1,
         espacoPadrao,
         true,
         true,
         true},
        {"btnLimparObs",
         {443, 6, 96, 66},
         "                   Limpar Observações",
         {"Arial", 12, true, kBranco},
         kCinza,
         kCinzaClaro,
         kPrata,
         padrao,
         0,
         0,
         false,
         false,
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* b = controle<host::TBlendedBitBtn>(*f, r.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->geometry(), r.bounds);
        EXPECT_EQ(kzt::cp1252ToUtf8(b->caption()), r.caption);
        esperaFonte(b->font(), r.font);
        EXPECT_EQ(b->brushColor(), r.face);
        EXPECT_EQ(b->downColor(), kzt::clWindowText);
        EXPECT_EQ(b->downFontColor(), kzt::clWindow);
        EXPECT_EQ(b->disabledColor(), r.disabledFace);
        EXPECT_EQ(b->disabledFontColor(), r.disabledText);
        EXPECT_EQ(b->layout(), r.layout);
        EXPECT_EQ(b->margin(), r.margin);
        EXPECT_EQ(b->spacing(), r.spacing);
        EXPECT_EQ(!b->glyph().isNull(), r.glyph);
        EXPECT_EQ(!b->glyphDisabled().isNull(), r.glyphDisabled);
        EXPECT_EQ(!b->isHidden(), r.visible);
        EXPECT_TRUE(b->isEnabled());
    }
}

TEST_F(LayoutTest, GridButtonsFillFiveColumnsAndTheMiddleOfTheSixthRow)
{
    const int tops[] = {232, 288, 344, 400, 456, 512};
    const int lefts[] = {19, 163, 307, 451, 595};
    const char* const grade[6][5] = {
        {"sbt01", "sbt02", "sbt03", "sbt04", "sbt05"},
        {"sbt06", "sbt07", "sbt08", "sbt09", "sbt10"},
        {"sbt11", "sbt12", "sbt13", "sbt14", "sbt15"},
        {"sbt16", "sbt17", "sbt18", "sbt19", "sbt20"},
        {"sbt21", "sbt22", "sbt23", "sbt24", "sbt25"},
        {nullptr, "sbt26", "sbt27", "sbt28", nullptr},
    };
    int vistos = 0;
    for (int linha = 0; linha < 6; ++linha) {
        for (int coluna = 0; coluna < 5; ++coluna) {
            const char* name = grade[linha][coluna];
            if (name == nullptr)
                continue;
            SCOPED_TRACE(name);
            auto* b = controle<host::TBlendedBitBtn>(*f, name);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b, f->sbtGrade[static_cast<std::size_t>(vistos)]);
            EXPECT_EQ(b->geometry(), QRect(lefts[coluna], tops[linha], 130, 46));
            EXPECT_TRUE(b->isHidden());
            EXPECT_EQ(b->caption(), "");
            esperaFonte(b->font(), {"Arial", 16, false, kBranco});
            EXPECT_EQ(b->brushColor(), kLaranja);
            EXPECT_EQ(b->downColor(), kzt::clWindowText);
            EXPECT_EQ(b->downFontColor(), kzt::clWindow);
            EXPECT_EQ(b->disabledColor(), kCinzaClaro);
            EXPECT_EQ(b->disabledFontColor(), kBranco);
            ++vistos;
        }
    }
    EXPECT_EQ(vistos, 28);
}

TEST_F(LayoutTest, ShapesFrameTheDialogAndTheComposedText)
{
    struct Row {
        const char* name;
        QRect bounds;
        TColor pen;
        int penWidth;
    };
    const Row rows[] = {
        {"blsBorda", {0, 0, 746, 571}, kLaranja, 2},
        {"blsObservacao", {18, 93, 717, 81}, kPreto, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* shape = controle<kzt::Shape>(*f, r.name);
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(shape->geometry(), r.bounds);
        EXPECT_EQ(shape->kind(), kzt::Shape::Kind::Rectangle);
        EXPECT_EQ(shape->brushColor(), kBranco);
        EXPECT_EQ(shape->penColor(), r.pen);
        EXPECT_EQ(shape->penWidth(), r.penWidth);
    }
    struct Band {
        const char* name;
        QRect bounds;
    };
    for (const Band& b :
         {Band{"blsCabec", {16, 2, 697, 64}}, Band{"blsObsAtual", {17, 174, 719, 57}}}) {
        SCOPED_TRACE(b.name);
        auto* band = controle<host::TBlendedShape>(*f, b.name);
        ASSERT_NE(band, nullptr);
        EXPECT_EQ(band->geometry(), b.bounds);
    }
    auto* bevel = controle<kzt::Bevel>(*f, "Bevel2");
    ASSERT_NE(bevel, nullptr);
    EXPECT_EQ(bevel->geometry(), QRect(87, 178, 2, 51));
}

TEST_F(LayoutTest, ControlsAreStackedInTheDrawingOrder)
{
    std::vector<std::string> expected = {
        "blsBorda",      "blsCabec",  "lblCodigo",    "blsObsAtual",   "lblObsAtual",
        "lblProduto",    "lblObsAtu", "Bevel2",       "sbtPesquisa",   "sbtSair",
        "blsObservacao", "lblDesc",   "sptConfirmar", "btnEsperaProd", "lblEsperaProd"};
    for (int i = 1; i <= 28; ++i)
        expected.push_back((i < 10 ? "sbt0" : "sbt") + std::to_string(i));
    for (const char* name : {"sbtEditaDesc", "lblCodTela", "btnLimparObs"})
        expected.emplace_back(name);

    // Qt keeps a widget's children in stacking order, bottom first.
    std::vector<std::string> stacked;
    for (QObject* child : f->children())
        if (child->isWidgetType() && !child->objectName().isEmpty())
            stacked.push_back(child->objectName().toStdString());
    EXPECT_EQ(stacked, expected);
}

TEST_F(LayoutTest, MessageTableHoldsTheFourteenEntriesInOrder)
{
    const std::vector<std::string> expected = {
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
        "QTMAXOBS|A quantidade máxima de observações para o produto foi atingida! Favor limpar "
        "as observações para trocar as já existentes. A quantidade máxima de observações "
        "desse produto é %s.",
    };
    ASSERT_NE(f->msgPadrao, nullptr);
    EXPECT_EQ(f->msgPadrao->objectName(), QStringLiteral("msgPadrao"));
    std::vector<std::string> stored;
    for (const std::string& line : f->msgPadrao->Messages) {
        // One byte a character: the accented letters must be single code-page bytes.
        EXPECT_EQ(kzt::utf8ToCp1252(kzt::cp1252ToUtf8(line)), line);
        stored.push_back(kzt::cp1252ToUtf8(line));
    }
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(f->msgPadrao->Msg("Obs_Inf"), kzt::utf8ToCp1252("Observação deve ser informada."));
}

TEST_F(LayoutTest, DatasetsDeclareTheirFieldsFlagsAndLabels)
{
    using kzt::FieldType;
    struct Campo {
        const char* name;
        FieldType type;
        int size;
        bool visible;
        const char* label;
    };
    struct Row {
        kzt::ClientDataSet* cds;
        std::vector<Campo> fields;
    };
    const Row rows[] = {
        {&f->cdsObs,
         {{"CDGRPOCOR", FieldType::String, 2, false, ""},
          {"CDOCORR", FieldType::String, 2, true, "Código"},
          {"CDTIPRISCO", FieldType::String, 2, false, ""},
          {"DSOCORR", FieldType::String, 40, true, "Descrição"},
          {"IDCONTROLAOBS", FieldType::String, 1, false, ""},
          {"CDPRODUTO", FieldType::String, 10, false, ""}}},
        {&f->cdsParametrosQtr, {}},
        {&f->cdsOcorrencia, {{"CDOCORR", FieldType::String, 2, true, ""}}},
        {&f->cdsControlaObs,
         {{"CDOCORR", FieldType::String, 2, true, "Código"},
          {"CDPRODUTO", FieldType::String, 10, true, ""},
          {"IDCONTROLAOBS", FieldType::String, 1, true, ""}}},
        {&f->cdsRetornaPreco,
         {{"VRPRECO", FieldType::Float, 0, true, ""},
          {"VRDESCONTO", FieldType::Float, 0, true, ""},
          {"VRACRESCIMO", FieldType::Float, 0, true, ""},
          {"VRPRECOCLIE", FieldType::Float, 0, true, ""},
          {"IDPRECVARIA", FieldType::String, 1, true, ""},
          {"IDPERCVALOR", FieldType::String, 1, true, ""},
          {"IDACREDESC", FieldType::String, 1, true, ""},
          {"VRPRECODIA", FieldType::Float, 0, true, ""}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.cds->name());
        EXPECT_FALSE(r.cds->active());
        const auto& defs = r.cds->fieldDefs();
        ASSERT_EQ(defs.size(), r.fields.size());
        for (std::size_t i = 0; i < defs.size(); ++i) {
            SCOPED_TRACE(r.fields[i].name);
            EXPECT_EQ(defs[i].name, r.fields[i].name);
            EXPECT_EQ(defs[i].type, r.fields[i].type);
            if (r.fields[i].type == FieldType::String) {
                EXPECT_EQ(defs[i].size, r.fields[i].size);
            }
            EXPECT_EQ(defs[i].visible, r.fields[i].visible);
            EXPECT_EQ(kzt::cp1252ToUtf8(defs[i].displayLabel), r.fields[i].label);
        }
    }
}

bool temCor(const QImage& image, const QColor& color, int tolerance = 0)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) <= tolerance
                && std::abs(c.green() - color.green()) <= tolerance
                && std::abs(c.blue() - color.blue()) <= tolerance)
                return true;
        }
    return false;
}

TEST_F(LayoutTest, GlyphsAreWhiteDrawingsOnTheirFlatBackgrounds)
{
    const QColor cinza(128, 128, 128), claro(204, 204, 204), verde(39, 174, 96),
        laranja(204, 91, 44);
    struct Row {
        const char* button;
        Glyph glyph;
        QColor background;
        bool orangeLens;
        QColor disabledBackground; // invalid: no disabled picture
    };
    const Row rows[] = {
        {"sbtPesquisa", Glyph::Pesquisa, cinza, true, claro},
        {"sbtSair", Glyph::Sair, cinza, false, claro},
        {"sptConfirmar", Glyph::Confirmar, verde, false, claro},
        {"btnEsperaProd", Glyph::EsperaProd, laranja, true, QColor()},
        {"sbtEditaDesc", Glyph::EditaDesc, claro, false, claro},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.button);
        auto* b = controle<host::TBlendedBitBtn>(*f, r.button);
        ASSERT_NE(b, nullptr);
        // The button keeps its own prepared copy; the picture itself is checked below.
        EXPECT_EQ(b->glyph().size(), QSize(34, 34));
        EXPECT_EQ(b->glyphDisabled().isNull(), !r.disabledBackground.isValid());

        const QImage g = Cli_kzt00318::glyphImage(r.glyph, false);
        EXPECT_EQ(g.size(), QSize(34, 34));
        EXPECT_EQ(g.format(), QImage::Format_RGB32);
        EXPECT_EQ(g.pixelColor(0, 0), r.background);
        EXPECT_EQ(g.pixelColor(0, 33), r.background);
        EXPECT_TRUE(temCor(g, Qt::white)) << "no white line";
        if (r.orangeLens && r.background != laranja) {
            EXPECT_TRUE(temCor(g, laranja));
        }
        if (r.orangeLens) {
            // The lens survives the button taking the picture's background out: on the
            // grey face it still shows in colour.
            const QImage face = b->grab().toImage();
            bool lente = false;
            for (int y = 0; y < face.height() && !lente; ++y)
                for (int x = 0; x < face.width() && !lente; ++x)
                    lente = face.pixelColor(x, y).hsvSaturation() > 150;
            EXPECT_TRUE(lente) << "the lens vanishes into the face";
        }

        const QImage d = Cli_kzt00318::glyphImage(r.glyph, true);
        if (!r.disabledBackground.isValid()) {
            EXPECT_TRUE(d.isNull());
            continue;
        }
        EXPECT_EQ(d.size(), QSize(34, 34));
        EXPECT_EQ(d.format(), QImage::Format_RGB32);
        EXPECT_EQ(d.pixelColor(0, 33), r.disabledBackground);
        EXPECT_TRUE(temCor(d, Qt::white));
        EXPECT_FALSE(temCor(d, laranja, 30)) << "the disabled picture keeps no colour";
    }
    EXPECT_EQ(Cli_kzt00318::glyphImage(Glyph::EditaDesc, true),
              Cli_kzt00318::glyphImage(Glyph::EditaDesc, false));
}

} // namespace
