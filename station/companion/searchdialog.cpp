#include "station/companion/searchdialog.h"

#include "platform/text.h"
#include "platform/ui/controls.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>

namespace companion {

namespace {

constexpr int kRowHeight = 44;
constexpr int kHeaderHeight = 28;
constexpr int kVisibleRows = 4;

QFont arialBold(int pixels)
{
    kzt::FontSpec font;
    font.name = "Arial";
    font.height = pixels;
    font.bold = true;
    return kzt::toQFont(font);
}

// For matching: case and accents dropped ("Açúcar" and "ACUCAR" read alike), ligatures
// and the like spelled out.
QString folded(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString plain;
    plain.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c;
    }
    return plain.toCaseFolded();
}

} // namespace

SearchDialog::SearchDialog(kzt::ClientDataSet& cds, const std::string& title, QWidget* parent)
    : TouchDialog(parent, QStringLiteral("frmPesquisa"), 780, 580), mCds(cds)
{
    auto* titleLabel = addLabel(this, QStringLiteral("lblTitulo"), 18);
    kzt::setBounds(titleLabel, 20, 10, 740, 26);
    titleLabel->setCaption(title.empty() ? kzt::utf8ToCp1252("Pesquisa") : title);

    auto* searchLabel = addLabel(this, QStringLiteral("lblPesquisa"), 18);
    kzt::setBounds(searchLabel, 20, 40, 500, 30);
    // Where the shown rows stand in the list, right above the scroll buttons.
    mPosition = addLabel(this, QStringLiteral("lblPosicao"), 18);
    mPosition->setAlignment(kzt::Alignment::Right);
    kzt::setBounds(mPosition, 520, 40, 240, 30);

    // The list, its scroll buttons beside it, the keyboard below, leaving at the bottom
    // right: all of it inside an 800 x 600 screen.
    mTable = new QTableWidget(this);
    mTable->setObjectName(QStringLiteral("grdPesquisa"));
    mTable->setGeometry(20, 76, 632, kHeaderHeight + kVisibleRows * kRowHeight + 4);
    mTable->setFocusPolicy(Qt::NoFocus);
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setSelectionMode(QAbstractItemView::NoSelection);
    mTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mTable->verticalHeader()->hide();
    mTable->verticalHeader()->setDefaultSectionSize(kRowHeight);
    mTable->horizontalHeader()->setFixedHeight(kHeaderHeight);
    mTable->horizontalHeader()->setStretchLastSection(true);
    mTable->horizontalHeader()->setFont(arialBold(14));
    mTable->setFont(arialBold(16));
    mTable->setStyleSheet(QStringLiteral(
        "QTableWidget { border: 2px solid rgb(204,91,44); gridline-color: rgb(204,204,204); }"
        "QHeaderView::section { background: rgb(204,91,44); color: white; border: 0; }"));
    connect(mTable, &QTableWidget::cellClicked, this, [this](int row, int) { pick(row); });
    connect(mTable->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { showPosition(); });

    // Said in the list's place, so an empty list is never taken for one still loading.
    mNothing = addLabel(this, QStringLiteral("lblNenhuma"), 18);
    mNothing->setAlignment(kzt::Alignment::Center);
    mNothing->setCaption(kzt::utf8ToCp1252("Nenhuma observação encontrada"));
    kzt::setBounds(mNothing, 24, 76 + kHeaderHeight + kRowHeight, 624, 30);
    mNothing->setVisible(false);

    addButton(QStringLiteral("btnSobe"), "Sobe", Look::Secondary, 666, 76, 94, 99,
              [this] { scrollBy(-1); });
    addButton(QStringLiteral("btnDesce"), "Desce", Look::Secondary, 666, 185, 94, 99,
              [this] { scrollBy(1); });

    auto* keyboard = new TouchKeyboard(this, 52, 40);
    keyboard->move(20, 296);
    auto refresh = [this, searchLabel] {
        searchLabel->setCaption(kzt::utf8ToCp1252("Pesquisar: ") + mSearch);
        applySearch();
    };
    keyboard->onText = [this, refresh](const std::string& text) {
        mSearch += text;
        refresh();
    };
    keyboard->onBackspace = [this, refresh] {
        if (!mSearch.empty())
            mSearch.pop_back();
        refresh();
    };
    keyboard->onClear = [this, refresh] {
        mSearch.clear();
        refresh();
    };

    addButton(QStringLiteral("btnSair"), "Sair", Look::Action, 666, 470, 94, 96, [this] {
        mPicked = false;
        done(QDialog::Rejected);
    });

    loadRows();
    refresh();
}

void SearchDialog::loadRows()
{
    if (!mCds.active() || mCds.isEmpty())
        return;
    std::vector<int> columns;
    QStringList labels;
    for (int i = 0; i < mCds.fieldCount(); ++i) {
        kzt::Field field = mCds.field(i);
        if (!field.visible())
            continue;
        columns.push_back(i);
        labels << kzt::toQString(field.displayLabel());
    }
    mTable->setColumnCount(static_cast<int>(columns.size()));
    mTable->setHorizontalHeaderLabels(labels);
    if (!columns.empty() && columns.size() > 1)
        mTable->setColumnWidth(0, 120);

    const int current = mCds.recNo();
    for (mCds.first(); !mCds.eof(); mCds.next()) {
        Entry entry;
        entry.recNo = mCds.recNo();
        for (int column : columns) {
            kzt::Field field = mCds.field(column);
            entry.cells.push_back(field.asString());
            if (field.def().type == kzt::FieldType::String)
                entry.haystack += folded(kzt::toQString(field.asString())) + QLatin1Char('\n');
        }
        mEntries.push_back(std::move(entry));
    }
    if (current > 0)
        mCds.moveTo(current);
}

void SearchDialog::applySearch()
{
    // The list is narrowed here rather than through the dataset's filter: a filter left on
    // the occurrence list would hide occurrences from the dialog's later button lookups.
    // Every word typed must be found somewhere in the row; the list keeps its order.
    const QStringList words =
        folded(kzt::toQString(mSearch)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    mShown.clear();
    for (int i = 0; i < static_cast<int>(mEntries.size()); ++i) {
        const QString& haystack = mEntries[static_cast<std::size_t>(i)].haystack;
        if (std::all_of(words.begin(), words.end(),
                        [&haystack](const QString& word) { return haystack.contains(word); }))
            mShown.push_back(i);
    }
    mTable->setRowCount(static_cast<int>(mShown.size()));
    for (int row = 0; row < static_cast<int>(mShown.size()); ++row) {
        const Entry& entry =
            mEntries[static_cast<std::size_t>(mShown[static_cast<std::size_t>(row)])];
        for (int column = 0; column < static_cast<int>(entry.cells.size()); ++column) {
            auto* item =
                new QTableWidgetItem(kzt::toQString(entry.cells[static_cast<std::size_t>(column)]));
            mTable->setItem(row, column, item);
        }
    }
    mTable->scrollToTop();
    mNothing->setVisible(mShown.empty());
    mNothing->raise();
    showPosition();
}

void SearchDialog::showPosition()
{
    const int total = shownRows();
    if (total == 0) {
        mPosition->setCaption({});
        return;
    }
    const int first = std::clamp(mTable->verticalScrollBar()->value(), 0, total - 1) + 1;
    const int last = std::min(total, first + kVisibleRows - 1);
    // "4–6 de 12", the dash an en dash.
    mPosition->setCaption(kzt::utf8ToCp1252(std::to_string(first) + "\xE2\x80\x93"
                                            + std::to_string(last) + " de "
                                            + std::to_string(total)));
}

std::string SearchDialog::position() const
{
    return mPosition->caption();
}

bool SearchDialog::saysNothingFound() const
{
    return mNothing->isVisibleTo(this);
}

int SearchDialog::shownRows() const
{
    return static_cast<int>(mShown.size());
}

std::string SearchDialog::shownCell(int row, int column) const
{
    if (row < 0 || row >= shownRows())
        return {};
    const Entry& entry = mEntries[static_cast<std::size_t>(mShown[static_cast<std::size_t>(row)])];
    if (column < 0 || column >= static_cast<int>(entry.cells.size()))
        return {};
    return entry.cells[static_cast<std::size_t>(column)];
}

void SearchDialog::pick(int row)
{
    if (row < 0 || row >= shownRows())
        return;
    mCds.moveTo(mEntries[static_cast<std::size_t>(mShown[static_cast<std::size_t>(row)])].recNo);
    mPicked = true;
    done(QDialog::Accepted);
}

void SearchDialog::scrollBy(int pages)
{
    QScrollBar* bar = mTable->verticalScrollBar();
    bar->setValue(bar->value() + pages * (kVisibleRows - 1));
}

} // namespace companion
