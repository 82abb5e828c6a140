// The companion routines as the module calls them: each reports itself to the trace and
// takes its answer from the presentation seam.

#include "host/companion.h"
#include "host/hostlib.h"
#include "tests/support/fakepresentation.h"

#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

using kzt::test::FakePresentation;

void occurrenceList(kzt::ClientDataSet& cds)
{
    cds.addFieldDef({"CDOCORR", kzt::FieldType::String, 2, true, {}});
    cds.addFieldDef({"DSOCORR", kzt::FieldType::String, 40, true, {}});
    cds.createDataSet();
    for (const char* code : {"01", "02", "03"}) {
        cds.append();
        cds.fieldByName("CDOCORR").setAsString(code);
        cds.fieldByName("DSOCORR").setAsString(std::string("OCORRENCIA ") + code);
        cds.post();
    }
    cds.first();
}

TEST(CompanionSeam, SearchPicksTheAnsweredRowOrReportsCancel)
{
    struct Case {
        std::optional<std::string> answer;
        bool expected;
        int recNo;
    };
    const Case cases[] = {{"03", true, 3}, {std::nullopt, false, 1}, {"99", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.value_or("cancel"));
        FakePresentation fake;
        fake.searchAnswers.push_back(c.answer);
        kzt::ClientDataSet cds("cdsObs");
        occurrenceList(cds);
        EXPECT_EQ(host::Pesquisa(cds, "", "S", 0, 0, 0, 0, 0), c.expected);
        EXPECT_EQ(cds.recNo(), c.recNo);
        ASSERT_EQ(fake.traced.size(), 1u);
        EXPECT_EQ(fake.traced[0].first, "Pesquisa");
        EXPECT_EQ(fake.traced[0].second,
                  (std::vector<std::string>{"cdsObs", "", "S", "0", "0", "0", "0", "0"}));
    }
}

TEST(CompanionSeam, EditorReturnsTheAnswerOrTheInitialText)
{
    const std::string prompt = kzt::utf8ToCp1252("Informe a Observação da Venda");
    {
        FakePresentation fake;
        fake.editorAnswers.push_back(kzt::utf8ToCp1252("PÃO TOSTADO"));
        EXPECT_EQ(host::EditaTexto(prompt, " SEM SAL;", 0, 0, 0), kzt::utf8ToCp1252("PÃO TOSTADO"));
        ASSERT_EQ(fake.editorCalls.size(), 1u);
        EXPECT_EQ(fake.editorCalls[0], std::make_pair(prompt, std::string(" SEM SAL;")));
        EXPECT_EQ(fake.traced.at(0).second,
                  (std::vector<std::string>{prompt, " SEM SAL;", "0", "0", "0"}));
    }
    {
        FakePresentation fake; // no answer: the operator cancelled
        EXPECT_EQ(host::EditaTexto("", " SEM SAL;", 0, 0, 0), " SEM SAL;");
    }
}

TEST(CompanionSeam, KeypadSetsTheVariableOnlyWhenConfirmed)
{
    struct Case {
        std::optional<std::string> answer;
        std::string before;
        std::string after;
    };
    const Case cases[] = {{"25", "10", "25"}, {std::nullopt, "10", "10"}, {"", "10", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.value_or("cancel"));
        FakePresentation fake;
        fake.keypadAnswers.push_back(c.answer);
        std::string value = c.before;
        host::TecladoNumerico(value, "Informe o tempo de espera", "minutos", "aviso", 3, 0, 0, 0, 0,
                              0);
        EXPECT_EQ(value, c.after);
        ASSERT_EQ(fake.keypadCalls.size(), 1u);
        EXPECT_EQ(fake.keypadCalls[0].prompt, "Informe o tempo de espera");
        EXPECT_EQ(fake.keypadCalls[0].unit, "minutos");
        EXPECT_EQ(fake.keypadCalls[0].warning, "aviso");
        EXPECT_EQ(fake.keypadCalls[0].maxDigits, 3);
    }
}

TEST(CompanionSeam, FiscalMenuGoesThroughTheSeam)
{
    FakePresentation fake;
    host::RelFiscais();
    EXPECT_EQ(fake.fiscalMenuCalls, 1);
    ASSERT_EQ(fake.traced.size(), 1u);
    EXPECT_EQ(fake.traced[0].first, "RelFiscais");
}

TEST(CompanionSeam, PriceAnswerFailsThroughCheckResultServ)
{
    FakePresentation fake;
    fake.priceAnswers.push_back("DTCLI");
    const kzt::Variant params[] = {kzt::Variant("0001"), kzt::Variant("C"), kzt::Variant("2001"),
                                   kzt::Variant("01"),   kzt::Variant("K"), kzt::Variant("12:00"),
                                   kzt::Variant("")};
    kzt::ClientDataSet precos("cdsRetornaPreco");
    kzt::Variant retorno;
    const kzt::Variant result = host::ChamaFuncaoGetRetornaPreco(params, 6, precos, retorno);
    try {
        host::CheckResultServ(result, true, 0);
        ADD_FAILURE() << "a failed lookup passed the check";
    } catch (const kzt::Error& e) {
        EXPECT_EQ(e.message(), "DTCLI");
    }
    EXPECT_FALSE(precos.active());
    const auto& call = fake.traced.at(0);
    EXPECT_EQ(call.first, "ChamaFuncaoGetRetornaPreco");
    EXPECT_EQ(call.second, (std::vector<std::string>{"0001", "C", "2001", "01", "K", "12:00", "",
                                                     "cdsRetornaPreco"}));
}

} // namespace
