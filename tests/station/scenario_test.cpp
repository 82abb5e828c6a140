// Whole observations composed through the built kzt-station as an operator would compose
// them: scripted presses, keys and companion answers against the sample store. Each run is
// checked for what matters to the host and compared, normalised, with a golden file
// (KZT_UPDATE_GOLDEN=1 rewrites them).

#include "tests/station/stationprocess.h"
#include "tests/support/tempdir.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using kzt::test::checkGolden;
using kzt::test::kStation;
using kzt::test::runStation;
using kzt::test::StationOutput;
using kzt::test::words;

// Only what the scenarios are about is kept, so that a change of layout or of the host
// library's bookkeeping does not disturb them: the companion and message calls of the
// trace, and caption, visibility and state of the controls the operator works with.
QJsonObject normalise(QJsonObject call)
{
    static const QStringList calls =
        words({"Pesquisa", "EditaTexto", "TecladoNumerico", "RelFiscais",
               "ChamaFuncaoGetRetornaPreco", "Mensagem"});
    static const QStringList controls =
        words({"lblProduto", "lblObsAtual", "lblDesc", "lblEsperaProd", "sbtSair", "sbtPesquisa",
               "btnEsperaProd", "btnLimparObs"});
    QJsonArray trace;
    for (const QJsonValue& entry : call.value(QStringLiteral("trace")).toArray())
        if (calls.contains(entry.toObject().value(QStringLiteral("call")).toString()))
            trace.append(entry);
    call.insert(QStringLiteral("trace"), trace);
    QJsonArray snapshots;
    for (const QJsonValue& snapshot : call.value(QStringLiteral("snapshots")).toArray()) {
        QJsonObject kept;
        for (const QString& name : controls) {
            const QJsonObject control = snapshot.toObject().value(name).toObject();
            QJsonObject state;
            for (const char* key : {"caption", "visible", "enabled"})
                state.insert(QString::fromUtf8(key), control.value(QString::fromUtf8(key)));
            kept.insert(name, state);
        }
        snapshots.append(kept);
    }
    call.insert(QStringLiteral("snapshots"), snapshots);
    return call;
}

struct Scenario {
    const char* golden;
    QStringList args;
    std::function<void(const QJsonObject&)> check;
};

// Readers of one call's output, in UTF-8 so that failures print readably.
using Texts = std::vector<std::string>;

std::string text(const QJsonValue& v)
{
    return v.toString().toStdString();
}

std::string returned(const QJsonObject& call)
{
    return text(call.value(QStringLiteral("returned")));
}

std::string resultText(const QJsonObject& call, int entry)
{
    return text(call.value(QStringLiteral("result")).toArray().at(entry));
}

Texts messages(const QJsonObject& call)
{
    Texts out;
    for (const QJsonValue& m : call.value(QStringLiteral("messages")).toArray())
        out.push_back(text(m.toObject().value(QStringLiteral("text"))));
    return out;
}

Texts column(const QJsonObject& call, int entry, const char* field)
{
    Texts out;
    const QJsonObject packet = call.value(QStringLiteral("result")).toArray().at(entry).toObject();
    for (const QJsonValue& row : packet.value(QStringLiteral("rows")).toArray())
        out.push_back(text(row.toObject().value(QString::fromUtf8(field))));
    std::sort(out.begin(), out.end());
    return out;
}

// The calls of one routine, each as its arguments joined by "|".
Texts traced(const QJsonObject& call, const char* name)
{
    Texts out;
    for (const QJsonValue& entry : call.value(QStringLiteral("trace")).toArray()) {
        const QJsonObject o = entry.toObject();
        if (o.value(QStringLiteral("call")).toString() != QString::fromUtf8(name))
            continue;
        std::string args;
        bool first = true;
        for (const QJsonValue& a : o.value(QStringLiteral("args")).toArray()) {
            args += (first ? "" : "|") + text(a);
            first = false;
        }
        out.push_back(args);
    }
    return out;
}

const std::string kObsInf = "Observação deve ser informada.";

TEST(Scenario, ObservationsComposedAtTheStation)
{
    const std::vector<Scenario> scenarios = {
        // An order of product 1001 (at most 2 controlled observations): two buttons, a
        // priced extra and a recorded one, a third controlled one refused at the maximum, an
        // occurrence beyond the grid from the search list, free text and a waiting time.
        {"scenario_order.json",
         words({"--kind",
                "P",
                "--product",
                "1001",
                "--name",
                "HAMBÚRGUER ARTESANAL",
                "--current",
                "SEM SAL;",
                "--sale-open",
                "False",
                "--customer",
                "000123",
                "--time",
                "12:30",
                "--do",
                "press:sbt01",
                "--do",
                "press:sbt11",
                "--do",
                "press:sbt16",
                "--do",
                "press:sbt12",
                "--do",
                "search:31",
                "--do",
                "press:sbtPesquisa",
                "--do",
                "editor: SEM CEBOLA; EXTRA QUEIJO; PÃO SEM GLÚTEN; PIMENTA À PARTE;CAPRICHAR",
                "--do",
                "press:sbtEditaDesc",
                "--do",
                "keypad:20",
                "--do",
                "press:btnEsperaProd",
                "--do",
                "dump",
                "--do",
                "press:sptConfirmar"}),
         [](const QJsonObject& call) {
             EXPECT_EQ(returned(call), "SEM SAL; SEM CEBOLA; EXTRA QUEIJO; PÃO SEM GLÚTEN; "
                                       "PIMENTA À PARTE;CAPRICHAR;");
             EXPECT_EQ(resultText(call, 1), "20");
             EXPECT_EQ(resultText(call, 3), "CAPRICHAR;");
             EXPECT_EQ(column(call, 2, "CDOCORR"), (Texts{"01", "11", "16", "31"}));
             EXPECT_EQ(column(call, 4, "CDOCORR"), (Texts{"11", "16"}));
             ASSERT_EQ(messages(call).size(), 1u);
             EXPECT_TRUE(messages(call)[0].ends_with("desse produto é 2."));
             EXPECT_EQ(traced(call, "ChamaFuncaoGetRetornaPreco"),
                       Texts{"0001|000123|2001|01||12:30||cdsRetornaPreco"});
         }},
        // Cancelling a sale in store 01, which demands an observation: Esc and the exit
        // button do nothing, confirm insists until an occurrence is chosen.
        {"scenario_cancel.json", words({"--obligatory", "S",
                                        "--kind",       "C",
                                        "--sale-open",  "True",
                                        "--current",    "",
                                        "--do",         "key:27",
                                        "--do",         "press:sbtSair",
                                        "--do",         "press:sptConfirmar",
                                        "--do",         "key:13",
                                        "--do",         "post:,enter",
                                        "--do",         "dump",
                                        "--do",         "press:sbt03",
                                        "--do",         "press:sptConfirmar"}),
         [](const QJsonObject& call) {
             EXPECT_EQ(returned(call), " PAGAMENTO RECUSADO;");
             EXPECT_EQ(messages(call), (Texts{kObsInf, kObsInf, kObsInf}));
             EXPECT_FALSE(call.value(QStringLiteral("leftOpen")).toBool());
         }},
        // The end of a sale: the editor opens by itself, asking for the sale's observation,
        // and once only; the operator then adds to it with the edit button.
        {"scenario_end_of_sale.json",
         words({"--kind", "P", "--product", "IDSOLOBSFINVEN", "--name", "Observação da venda",
                "--current", "", "--do", "editor:ENTREGAR NA PORTA", "--do",
                "editor:ENTREGAR NA PORTA;TROCO PARA 50", "--do", "dump", "--do",
                "press:sbtEditaDesc", "--do", "press:sptConfirmar"}),
         [](const QJsonObject& call) {
             EXPECT_EQ(returned(call), "ENTREGAR NA PORTA;TROCO PARA 50;");
             EXPECT_EQ(traced(call, "EditaTexto"), (Texts{"Informe a Observação da Venda||0|0|0",
                                                          "|ENTREGAR NA PORTA;|0|0|0"}));
             EXPECT_EQ(resultText(call, 3), "ENTREGAR NA PORTA;TROCO PARA 50;");
         }},
    };
    ASSERT_TRUE(QFile::exists(kStation)) << "build kzt-station and kzt00318 first";
    // With KZT_TEST_CONNECTION (the live-server entries) the same scenarios run against
    // that server, loaded by --init-sample, and must give the same answers.
    QStringList store;
    if (const char* server = std::getenv("KZT_TEST_CONNECTION"); server && *server)
        store << QStringLiteral("--connection") << QString::fromUtf8(server);
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.golden);
        kzt::test::TempDir dir;
        const QString path = QString::fromStdString(dir.path());
        const StationOutput init = runStation(
            QStringList{QStringLiteral("--init-sample"), path, QStringLiteral("--force")} + store);
        ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
        const StationOutput run =
            runStation(QStringList{QStringLiteral("--host-exe"),
                                   path + QStringLiteral("/kzt-station"), QStringLiteral("--trace")}
                       + store + s.args);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.trimmed(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
        const QJsonObject call = doc.object();
        EXPECT_EQ(call.value(QStringLiteral("unhandled")).toArray().size(), 0);
        s.check(call);

        QByteArray actual = QJsonDocument(normalise(call)).toJson(QJsonDocument::Indented);
        actual.replace(dir.path().c_str(), "<STATION>");
        checkGolden(s.golden, actual);
    }
}

} // namespace
