#pragma once

// The search list: the dataset's visible fields under their labels, narrowed as the
// operator types (each word anywhere in a row, case and accents ignored, the list's order
// kept); picking a row leaves it current in the dataset.

#include "station/companion/touchstyle.h"

#include "platform/clientdataset.h"

#include <string>
#include <vector>

class QTableWidget;

namespace kzt {
class Label;
}

namespace companion {

class KZT_HOST_API SearchDialog : public TouchDialog {
    Q_OBJECT
public:
    SearchDialog(kzt::ClientDataSet& cds, const std::string& title, QWidget* parent = nullptr);

    // What the operator typed so far (Windows-1252) and the rows it leaves, as shown.
    const std::string& searchText() const { return mSearch; }
    int shownRows() const;
    std::string shownCell(int row, int column) const; // Windows-1252
    QTableWidget* table() const { return mTable; }

    // Picks the shown row (0-based): makes it current in the dataset and accepts.
    void pick(int row);
    // true when a row was picked.
    bool picked() const { return mPicked; }
    // The rows in view and the number shown ("1–4 de 31", Windows-1252); empty with none.
    std::string position() const;
    // Whether the list says that nothing was found.
    bool saysNothingFound() const;

private:
    struct Entry {
        int recNo;                      // position in the dataset as it was when opened
        std::vector<std::string> cells; // visible fields, Windows-1252
        QString haystack;               // the string fields, folded, for narrowing
    };

    void loadRows();
    void applySearch();
    void scrollBy(int pages);
    void showPosition();

    kzt::ClientDataSet& mCds;
    std::vector<Entry> mEntries;
    std::vector<int> mShown; // indices into mEntries
    std::string mSearch;
    QTableWidget* mTable = nullptr;
    kzt::Label* mPosition = nullptr;
    kzt::Label* mNothing = nullptr;
    bool mPicked = false;
};

} // namespace companion
