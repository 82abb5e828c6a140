#pragma once

// A till for composing observations: the sample store in a temporary folder, a person
// answering the companion dialogs, and an initialised dialog on screen that the tests
// operate through its buttons, keys and PostText, step by step.

#include "client/frmobservacao.h"
#include "platform/variant.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace compose {

// One request as the host would build it. Sample store 01 of branch 0001: product 1001
// allows 2 controlled observations, 1002 none, 1003 has no maximum; 11 and 12 are
// priced extras ("A"), 13 has no price, 14 a zero price, 15 is blocked; 16, 17 and 20 are
// recorded once ("R"); 01 and 02 are uncontrolled.
struct Pedido {
    std::string obriga = "N";
    std::string tipo = "P";
    std::string produto = "1001";
    std::string atual = "OBS ANTIGA";
    bool vendaAberta = false;
    std::string espera;
    std::string cliente, consumidor, hora;
};

// A test name from a case's description: letters and digits kept, the rest "_".
std::string nomeDoCaso(const char* descricao);

// The maximum message as the operator reads it (UTF-8): with nothing to take back, and
// advising to take one choice back.
std::string maximoTexto(int maximo);
std::string maximoRetirar(int maximo);

class Balcao : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Cli_kzt00318::TfrmObservacao& abre(const Pedido& pedido = {});

    // One operator step (a test's table rows are lists of these):
    //   "NN" press the grid button of occurrence NN      "?NN" / "?" search, pick NN / cancel
    //   "ed=TEXT" / "ed" the editor returns TEXT / is left  "espera=N" / "espera" keypad
    //   "preco=TEXT" the next price lookup fails with TEXT  "max=N" 1001's maximum becomes N
    //   "filtro" something narrowed cdsObs to no row        "limpa" "ok" "sair" the buttons
    //   "sobe" / "desce" scroll the note a page          "arrasta" drag a finger down over it
    //   "painel" only opens what "Limpar Observações" opens
    //   "-NN" / "-=TEXT" take back occurrence NN / the note's piece TEXT, through the panel
    //   "key:VK" a real key going down                      "post:TEXT[,enter][,char]" PostText
    // Texts are UTF-8 here and reach the dialog as Windows-1252.
    void passo(const std::string& passo);
    void passos(const std::vector<std::string>& lista);

    // Observable state, as UTF-8.
    std::string desc() const;
    std::string livre() const;
    std::string retorno() const;
    static std::vector<std::string> coluna(kzt::ClientDataSet& cds, const char* campo);

    kzt::test::TempDir dir;
    kzt::test::FakePresentation pessoa;
    std::string db;
    std::unique_ptr<Cli_kzt00318::TfrmObservacao> form;
};

} // namespace compose
