#pragma once

// What "Limpar Observações" opens over the occurrence grid: every choice the host will
// receive and every other piece of the note, each a button that takes just that one back,
// beside "Limpar todas" (the whole clear) and "Voltar". One touch opens it, a second does
// what it says and closes it.

#include "host/blended.h"
#include "platform/ui/controls.h"

#include <QWidget>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace Cli_kzt00318 {

class TfrmObservacao;

// One thing the panel offers to take back: a recorded choice, or a piece of the composed
// text that no choice accounts for (typed in the editor before what was already there).
struct NotePart {
    std::size_t choice = 0; // index into the dialog's choices, when isChoice
    bool isChoice = true;
    std::size_t start = 0; // the piece's place in the composed text, when not a choice
    std::size_t length = 0;
    bool inText = true; // a choice whose piece the text no longer shows: false
    std::string label;  // Windows-1252
    std::string kind;   // IDCONTROLAOBS, for the face colour
};

class ChoicePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPerPage = 8;

    explicit ChoicePanel(TfrmObservacao* form);

    void open();
    void close();
    int page() const { return mPage; }
    int pageCount() const;
    const std::vector<NotePart>& parts() const { return mParts; }

    host::TBlendedBitBtn* row(int index) const { return mRows.at(static_cast<std::size_t>(index)); }
    host::TBlendedBitBtn* limparTudo() const { return mLimparTudo; }
    host::TBlendedBitBtn* voltar() const { return mVoltar; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showPage(int page);
    void take(int row);

    TfrmObservacao* mForm;
    std::vector<NotePart> mParts;
    int mPage = 0;
    kzt::Label* mTitulo;
    std::array<host::TBlendedBitBtn*, kPerPage> mRows{};
    host::TBlendedBitBtn* mLimparTudo;
    host::TBlendedBitBtn* mVoltar;
    host::TBlendedBitBtn* mSobe;
    host::TBlendedBitBtn* mDesce;
};

} // namespace Cli_kzt00318
