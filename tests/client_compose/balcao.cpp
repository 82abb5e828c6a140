#include "tests/client_compose/balcao.h"

#include "client/Cli_kzt00318.h"
#include "host/blended.h"
#include "platform/text.h"
#include "platform/ui/keys.h"

#include <QMetaObject>
#include <QTest>

#include <algorithm>
#include <cctype>
#include <optional>

namespace compose {

using Cli_kzt00318::TfrmObservacao;
namespace t = kzt::test;

std::string nomeDoCaso(const char* descricao)
{
    std::string nome = descricao;
    for (char& ch : nome)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return nome;
}

std::string maximoRetirar(int maximo)
{
    return "A quantidade máxima de observações para o produto foi atingida! Para trocar uma "
           "delas, toque em Limpar Observações e retire só a que não quer. A quantidade máxima "
           "de observações desse produto é "
           + std::to_string(maximo) + ".";
}

std::string maximoTexto(int maximo)
{
    return "A quantidade máxima de observações para o produto foi atingida! Favor limpar as "
           "observações para trocar as já existentes. A quantidade máxima de observações "
           "desse produto é "
           + std::to_string(maximo) + ".";
}

void Balcao::SetUp()
{
    db = t::createStore(dir.path(), true);
    t::writeParameterFile(dir.path());
    t::useStation(dir.path(), db);
}

void Balcao::TearDown()
{
    form.reset();
    t::resetStation();
}

TfrmObservacao& Balcao::abre(const Pedido& p)
{
    const auto cp = [](const std::string& s) { return kzt::Variant(kzt::utf8ToCp1252(s)); };
    const std::vector<kzt::Variant> pedido{cp(p.obriga),     cp(p.tipo),
                                           cp(p.produto),    cp("PRODUTO"),
                                           cp(p.atual),      kzt::Variant(p.vendaAberta),
                                           cp(p.espera),     cp(p.cliente),
                                           cp(p.consumidor), cp(p.hora)};
    form = std::make_unique<TfrmObservacao>();
    form->InicializaForm(pedido.data(), static_cast<int>(pedido.size()) - 1);
    form->show();
    return *form;
}

void Balcao::passo(const std::string& s)
{
    SCOPED_TRACE("step " + s);
    TfrmObservacao& f = *form;
    const auto depois = [&s](const char* prefixo) -> std::optional<std::string> {
        const std::string p = prefixo;
        if (s.rfind(p, 0) != 0)
            return std::nullopt;
        return kzt::utf8ToCp1252(s.substr(p.size()));
    };
    if (s.size() == 2 && std::isdigit(static_cast<unsigned char>(s[0]))) {
        const auto it = std::find_if(f.sbtGrade.begin(), f.sbtGrade.end(),
                                     [&](host::TBlendedBitBtn* b) { return b->code() == s; });
        ASSERT_NE(it, f.sbtGrade.end()) << "no grid button holds occurrence " << s;
        (*it)->click();
    } else if (s == "?") {
        pessoa.searchAnswers.push_back(std::nullopt);
        f.sbtPesquisa->click();
    } else if (auto codigo = depois("?")) {
        pessoa.searchAnswers.push_back(*codigo);
        f.sbtPesquisa->click();
    } else if (s == "ed") {
        f.sbtEditaDesc->click();
    } else if (auto texto = depois("ed=")) {
        pessoa.editorAnswers.push_back(*texto);
        f.sbtEditaDesc->click();
    } else if (s == "espera") {
        pessoa.keypadAnswers.push_back(std::nullopt);
        f.btnEsperaProd->click();
    } else if (auto minutos = depois("espera=")) {
        pessoa.keypadAnswers.push_back(*minutos);
        f.btnEsperaProd->click();
    } else if (auto falha = depois("preco=")) {
        pessoa.priceAnswers.push_back(*falha);
    } else if (auto maximo = depois("max=")) {
        t::execSql(db, "UPDATE PRODUTO SET QTMAXOBSERV = " + *maximo + " WHERE CDPRODUTO = '1001'");
    } else if (s == "filtro") {
        f.cdsObs.setFilter("CDOCORR = 'zz'");
        f.cdsObs.setFiltered(true);
    } else if (s == "painel") {
        f.btnLimparObs->click();
    } else if (s == "limpa") {
        // Clearing asks first: the whole clear is the panel's "Limpar todas".
        f.btnLimparObs->click();
        f.pnlEscolhas->limparTudo()->click();
    } else if (auto retira = depois("-")) {
        // "-NN" takes back occurrence NN (its last choice), "-=TEXT" the piece TEXT of the note.
        f.btnLimparObs->click();
        const auto& partes = f.pnlEscolhas->parts();
        int linha = -1;
        for (int i = 0; i < static_cast<int>(partes.size()); ++i) {
            const auto& p = partes[static_cast<std::size_t>(i)];
            const bool eh = retira->rfind("=", 0) == 0
                                ? p.label == retira->substr(1)
                                : p.isChoice && f.escolhas()[p.choice].code == *retira;
            if (eh)
                linha = i;
        }
        ASSERT_GE(linha, 0) << "nothing to take back for " << s;
        while (f.pnlEscolhas->page() < linha / Cli_kzt00318::ChoicePanel::kPerPage)
            f.findChild<host::TBlendedBitBtn*>(QStringLiteral("sbtRetiraDesce"))->click();
        f.pnlEscolhas->row(linha % Cli_kzt00318::ChoicePanel::kPerPage)->click();
    } else if (s == "sobe" || s == "desce") {
        // The note's own scroll buttons.
        const QString nome =
            s == "sobe" ? QStringLiteral("sbtDescSobe") : QStringLiteral("sbtDescDesce");
        f.lblDesc->findChild<host::TBlendedBitBtn*>(nome)->click();
    } else if (s == "arrasta") {
        // A finger dragged 60 px down over the note.
        QTest::mousePress(f.lblDesc, Qt::LeftButton, {}, QPoint(300, 5));
        QTest::mouseMove(f.lblDesc, QPoint(300, 35));
        QTest::mouseRelease(f.lblDesc, Qt::LeftButton, {}, QPoint(300, 65));
    } else if (s == "ok") {
        f.sptConfirmar->click();
    } else if (s == "sair") {
        f.sbtSair->click();
    } else if (auto vk = depois("key:")) {
        QTest::keyClick(&f, static_cast<Qt::Key>(kzt::qtKeyFromVirtualKey(
                                static_cast<std::uint16_t>(std::stoi(*vk)))));
    } else if (auto post = depois("post:")) {
        std::string enviado = *post;
        const auto opcao = [&enviado](const std::string& o) {
            const auto pos = enviado.rfind("," + o);
            if (pos == std::string::npos || pos + o.size() + 1 != enviado.size())
                return false;
            enviado.erase(pos);
            return true;
        };
        const bool comChar = opcao("char");
        const bool comEnter = opcao("enter");
        // By name, as a host holding the dialog calls it.
        ASSERT_TRUE(QMetaObject::invokeMethod(&f, "PostText",
                                              Q_ARG(QByteArray, QByteArray::fromStdString(enviado)),
                                              Q_ARG(bool, comEnter), Q_ARG(bool, comChar)));
    } else {
        FAIL() << "unknown step " << s;
    }
}

void Balcao::passos(const std::vector<std::string>& lista)
{
    for (const std::string& s : lista)
        passo(s);
}

std::string Balcao::desc() const
{
    EXPECT_EQ(form->stDescricao, form->lblDesc->caption()) << "label and text apart";
    return kzt::cp1252ToUtf8(form->lblDesc->caption());
}

std::string Balcao::livre() const
{
    return kzt::cp1252ToUtf8(form->stTextoLivre);
}

std::string Balcao::retorno() const
{
    return kzt::cp1252ToUtf8(form->stRetorno);
}

std::vector<std::string> Balcao::coluna(kzt::ClientDataSet& cds, const char* campo)
{
    std::vector<std::string> valores;
    for (cds.first(); !cds.eof(); cds.next())
        valores.push_back(cds.fieldByName(campo).asString());
    std::sort(valores.begin(), valores.end());
    return valores;
}

} // namespace compose
