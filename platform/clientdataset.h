#pragma once

// The in-memory dataset (the platform's client dataset): declared fields, rows held in
// memory, a cursor, locate, insert at the cursor, a filter, and loading and saving as a
// data packet. The module uses it as cdsObs, cdsOcorrencia, cdsControlaObs,
// cdsRetornaPreco and cdsParametrosQtr.

#include "platform/datapacket.h"
#include "platform/error.h"
#include "platform/filterexpression.h"
#include "platform/platform_global.h"
#include "platform/variant.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kzt {

// Raised by dataset operations; the message names the dataset, as in
// "cdsParametrosQtr: Field 'SISTEMAQTRSAT' not found".
class KZT_PLATFORM_API DataSetError : public Error {
public:
    using Error::Error;
};

struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;             // strings: the maximum characters
    bool visible = true;      // false: hidden from lists that show the dataset
    std::string displayLabel; // Windows-1252; empty: the field name is shown
    bool i4 = false;          // integers: kept as i4 in the packets the dataset writes
};

class ClientDataSet;

// A field of the current row, read and written by name through the dataset.
class KZT_PLATFORM_API Field {
public:
    Field(ClientDataSet& owner, int index) : mOwner(&owner), mIndex(index) {}

    const FieldDef& def() const;
    const std::string& fieldName() const { return def().name; }
    bool visible() const { return def().visible; }
    std::string displayLabel() const; // the label, or the name when no label is set

    bool isNull() const;
    std::string asString() const;   // null reads as ""
    std::int64_t asInteger() const; // raises DataSetError when the value is not a number
    double asFloat() const;
    bool asBoolean() const; // raises DataSetError when the value is not a boolean
    CellValue value() const;

    // Writes need the dataset in insert or edit state. Text is cut to a string field's size.
    void setAsString(const std::string& value);
    void setAsInteger(std::int64_t value);
    void setAsFloat(double value);
    void setAsBoolean(bool value);
    void clear();

private:
    ClientDataSet* mOwner;
    int mIndex;
};

class KZT_PLATFORM_API ClientDataSet {
public:
    enum class State { Inactive, Browse, Insert, Edit };

    explicit ClientDataSet(std::string name = {});
    ClientDataSet(const ClientDataSet&) = delete;
    ClientDataSet& operator=(const ClientDataSet&) = delete;

    const std::string& name() const { return mName; }

    // Declared ("persistent") fields. Loading a packet into a dataset with declared fields
    // matches them by name and keeps their flags and labels; a declared field the packet
    // lacks is an error naming it. Without declared fields the packet's own fields are taken.
    void addFieldDef(FieldDef def);
    const std::vector<FieldDef>& fieldDefs() const { return mDeclared; }
    // The fields of the open dataset, in order.
    const std::vector<FieldDef>& fields() const { return mFields; }
    int fieldCount() const { return static_cast<int>(mFields.size()); }
    int fieldIndex(std::string_view name) const; // -1 when absent
    Field fieldByName(std::string_view name);    // raises DataSetError naming field and dataset
    Field field(int index);

    // Open state.
    bool active() const { return mState != State::Inactive; }
    State state() const { return mState; }
    void createDataSet(); // open and empty, with the declared fields
    void open();          // reopen the rows last loaded or created
    void close();

    // Loading and saving. A packet or file that does not load leaves the dataset as it was.
    void setData(const Variant& packet); // the variant must hold a data packet
    Variant data() const;                // every row, filter or not, as a packet
    void loadFromPacket(const Packet& packet);
    Packet toPacket() const;
    // A file larger than limits.maxBytes is refused before it is read.
    void loadFromFile(const std::string& path, const PacketLimits& limits = {});
    void saveToFile(const std::string& path) const;

    // Cursor over the rows the filter lets through (all rows when the filter is off).
    void first();
    void next();
    void prior();
    void last();
    bool eof() const;
    bool bof() const;
    int recNo() const;       // 1-based position in the visible rows; 0 when empty
    int recordCount() const; // visible rows
    bool isEmpty() const;    // no visible row (an inactive dataset is empty too)
    void moveTo(int recNo);  // 1-based, as recNo()

    // Exact, case-sensitive, whole-value match on one field among the visible rows; moves
    // the cursor to the first match and returns true, or leaves it and returns false.
    bool locate(std::string_view fieldName, std::string_view value);

    // Editing. insert() opens a new row before the current one (at the end when there is
    // none); post() stores it, and it stays current. edit() changes the current row.
    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    void emptyDataSet();

    // Filter: rows the filter rejects are skipped by the cursor and not counted. The text
    // and the options are a FilterExpression's; a text that does not parse raises
    // DataSetError when the filter is switched on or the text set while on.
    void setFiltered(bool on);
    bool filtered() const { return mFiltered; }
    void setFilter(std::string text);
    const std::string& filter() const { return mFilterText; }
    void setFilterOptions(FilterOptions options);
    FilterOptions filterOptions() const { return mFilterOptions; }
    // An extra per-row test applied while filtered, after the filter text; empty: none.
    void setOnFilterRecord(std::function<bool(ClientDataSet&)> test);

private:
    friend class Field;
    struct Impl;
    std::string mName;
    std::vector<FieldDef> mDeclared;
    std::vector<FieldDef> mFields;
    State mState = State::Inactive;
    bool mFiltered = false;
    std::string mFilterText;
    FilterOptions mFilterOptions = 0;
    std::function<bool(ClientDataSet&)> mOnFilterRecord;
    // Rows and cursor live in the source file's helpers; see clientdataset.cpp.
    std::vector<std::vector<CellValue>> mRows;
    std::vector<int> mVisible;      // indices into mRows that pass the filter, in order
    int mCursor = -1;               // index into mVisible, -1 before the first row
    std::vector<CellValue> mBuffer; // the row being inserted or edited
    int mInsertAt = -1;             // where an insert goes in mRows
    std::optional<FilterExpression> mCompiledFilter; // parsed when the filter is on
    bool mEof = true;
    bool mBof = true;
    bool mHasData = false; // rows were loaded or created once, so open() can reopen
    int mEvalRow = -1;     // the row a filter test reads, as if it were current
};

} // namespace kzt
