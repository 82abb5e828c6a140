#include "platform/clientdataset.h"

#include "platform/process.h"
#include "platform/text.h"

#include <algorithm>

namespace kzt {

namespace {

const char* fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::String: return "String";
    case FieldType::Float: return "Float";
    case FieldType::Integer: return "Integer";
    case FieldType::Boolean: return "Boolean";
    }
    return "String";
}

// The cell a field of the given definition stores for a value; empty text is null in a
// field that is not text.
CellValue convertForField(const FieldDef& def, const Variant& value)
{
    if (def.type != FieldType::String && value.isText() && value.asText().empty())
        return {};
    switch (def.type) {
    case FieldType::String: {
        std::string text = value.asText();
        if (def.size > 0 && text.size() > static_cast<std::size_t>(def.size))
            text.resize(static_cast<std::size_t>(def.size));
        return text;
    }
    case FieldType::Integer: return value.asInteger();
    case FieldType::Float: return value.asFloat();
    case FieldType::Boolean: return value.asBoolean();
    }
    return {};
}

} // namespace

// Private helpers of ClientDataSet, kept out of the header.
struct ClientDataSet::Impl {
    static std::string prefix(const ClientDataSet& ds)
    {
        return ds.mName.empty() ? std::string() : ds.mName + ": ";
    }

    [[noreturn]] static void fail(const ClientDataSet& ds, const std::string& what)
    {
        throw DataSetError(prefix(ds) + what);
    }

    static void checkActive(const ClientDataSet& ds)
    {
        if (!ds.active())
            fail(ds, "Cannot perform this operation on a closed dataset");
    }

    static bool editing(const ClientDataSet& ds)
    {
        return ds.mState == State::Insert || ds.mState == State::Edit;
    }

    // Moving away from a row being edited stores it first, as the dataset's users expect.
    static void checkBrowse(ClientDataSet& ds)
    {
        if (editing(ds))
            ds.post();
    }

    static bool hasCurrent(const ClientDataSet& ds)
    {
        return ds.mCursor >= 0 && ds.mCursor < static_cast<int>(ds.mVisible.size());
    }

    static int currentRowIndex(const ClientDataSet& ds)
    {
        return hasCurrent(ds) ? ds.mVisible[static_cast<std::size_t>(ds.mCursor)] : -1;
    }

    // The cells a field reads: the row under a filter test, the row being edited, or the
    // current row; nullptr when there is none.
    static const std::vector<CellValue>* readRow(const ClientDataSet& ds)
    {
        if (ds.mEvalRow >= 0)
            return &ds.mRows[static_cast<std::size_t>(ds.mEvalRow)];
        if (editing(ds))
            return &ds.mBuffer;
        if (hasCurrent(ds))
            return &ds.mRows[static_cast<std::size_t>(currentRowIndex(ds))];
        return nullptr;
    }

    static FilterExpression compile(const ClientDataSet& ds, const std::string& text)
    {
        try {
            return FilterExpression(text);
        } catch (const FilterError& e) {
            fail(ds, e.message());
        }
    }

    static bool matchesFilter(const ClientDataSet& ds, const FilterExpression& filter,
                              const std::vector<CellValue>& row)
    {
        const auto columnOf = [&ds](std::string_view name) {
            std::optional<FilterExpression::Column> column;
            if (const int index = ds.fieldIndex(name); index >= 0)
                column = {static_cast<std::size_t>(index),
                          ds.mFields[static_cast<std::size_t>(index)].type};
            return column;
        };
        try {
            return filter.matches(row, columnOf, ds.mFilterOptions);
        } catch (const FilterError& e) {
            fail(ds, e.message());
        }
    }

    static bool passes(ClientDataSet& ds, std::size_t rowIndex)
    {
        if (ds.mCompiledFilter && !matchesFilter(ds, *ds.mCompiledFilter, ds.mRows[rowIndex]))
            return false;
        if (!ds.mOnFilterRecord)
            return true;
        struct Restore {
            int& slot;
            int old;
            ~Restore() { slot = old; }
        } restore{ds.mEvalRow, ds.mEvalRow};
        ds.mEvalRow = static_cast<int>(rowIndex);
        return ds.mOnFilterRecord(ds);
    }

    static void rebuildVisible(ClientDataSet& ds)
    {
        std::vector<int> visible;
        visible.reserve(ds.mRows.size());
        const bool filtering =
            ds.mFiltered
            && ((ds.mCompiledFilter && !ds.mCompiledFilter->empty()) || ds.mOnFilterRecord);
        for (std::size_t i = 0; i < ds.mRows.size(); ++i) {
            if (!filtering || passes(ds, i))
                visible.push_back(static_cast<int>(i));
        }
        ds.mVisible = std::move(visible);
    }

    // Puts the cursor on the given row when it is visible, else on the first visible row
    // after it, else on the last.
    static void moveToRow(ClientDataSet& ds, int rowIndex)
    {
        const auto found = std::lower_bound(ds.mVisible.begin(), ds.mVisible.end(), rowIndex);
        if (ds.mVisible.empty())
            ds.mCursor = -1;
        else if (found == ds.mVisible.end())
            ds.mCursor = static_cast<int>(ds.mVisible.size()) - 1;
        else
            ds.mCursor = static_cast<int>(found - ds.mVisible.begin());
        ds.mEof = ds.mVisible.empty();
        ds.mBof = ds.mVisible.empty();
    }

    static void refilter(ClientDataSet& ds)
    {
        if (!ds.active())
            return;
        checkBrowse(ds);
        rebuildVisible(ds);
        ds.first();
    }

    static void startEditing(ClientDataSet& ds, State state, int insertAt)
    {
        ds.mBuffer.assign(ds.mFields.size(), CellValue{});
        ds.mInsertAt = insertAt;
        ds.mState = state;
    }

    // The fields a packet gives this dataset, and for each the packet's column.
    static std::vector<FieldDef> fieldsFor(const ClientDataSet& ds, const Packet& packet,
                                           std::vector<std::size_t>& columns)
    {
        std::vector<FieldDef> fields;
        if (ds.mDeclared.empty()) {
            for (std::size_t i = 0; i < packet.fields.size(); ++i) {
                const PacketField& pf = packet.fields[i];
                fields.push_back(FieldDef{pf.name, pf.type, pf.width, true, {}, pf.i4});
                columns.push_back(i);
            }
            return fields;
        }
        for (const FieldDef& declared : ds.mDeclared) {
            const auto found = std::find_if(
                packet.fields.begin(), packet.fields.end(), [&](const PacketField& pf) {
                    return equalsIgnoringAsciiCase(pf.name, declared.name);
                });
            if (found == packet.fields.end())
                fail(ds, "Field '" + declared.name + "' not found");
            if (found->type != declared.type)
                fail(ds, "Type mismatch for field '" + declared.name
                             + "', expecting: " + fieldTypeName(declared.type)
                             + " actual: " + fieldTypeName(found->type));
            FieldDef field = declared;
            // The packet's own width: its values were checked against it and must not be cut.
            field.size = found->type == FieldType::String ? found->width : declared.size;
            field.i4 = found->i4;
            fields.push_back(std::move(field));
            columns.push_back(static_cast<std::size_t>(found - packet.fields.begin()));
        }
        return fields;
    }

    static void load(ClientDataSet& ds, Packet&& packet)
    {
        std::vector<std::size_t> columns;
        std::vector<FieldDef> fields = fieldsFor(ds, packet, columns);
        bool identity = columns.size() == packet.fields.size();
        for (std::size_t i = 0; identity && i < columns.size(); ++i)
            identity = columns[i] == i;
        std::vector<std::vector<CellValue>> rows = std::move(packet.rows);
        if (!identity) {
            // Reorder each row through one spare vector, swapping storage back and forth
            // so that no row costs an allocation.
            std::vector<CellValue> spare(columns.size());
            for (auto& row : rows) {
                spare.resize(columns.size());
                for (std::size_t j = 0; j < columns.size(); ++j)
                    spare[j] = std::move(row[columns[j]]);
                row.swap(spare);
            }
        }

        // Swap the new contents in; a filter callback that throws puts the old ones back.
        // The dataset is open while the filter runs, so a callback may read its fields.
        std::swap(ds.mFields, fields);
        std::swap(ds.mRows, rows);
        std::vector<int> oldVisible = ds.mVisible;
        const State oldState = ds.mState;
        ds.mState = State::Browse;
        try {
            rebuildVisible(ds);
        } catch (...) {
            std::swap(ds.mFields, fields);
            std::swap(ds.mRows, rows);
            ds.mVisible = std::move(oldVisible);
            ds.mState = oldState;
            throw;
        }
        ds.mBuffer.clear();
        ds.mHasData = true;
        ds.first();
    }

    static void write(ClientDataSet& ds, int index, const Variant& value)
    {
        checkActive(ds);
        if (index < 0 || index >= ds.fieldCount())
            fail(ds, "Field index " + std::to_string(index) + " out of range");
        if (!editing(ds))
            fail(ds, "Dataset not in edit or insert mode");
        const FieldDef& def = ds.mFields[static_cast<std::size_t>(index)];
        try {
            ds.mBuffer[static_cast<std::size_t>(index)] = convertForField(def, value);
        } catch (const VariantError&) {
            fail(ds, "'" + value.asText() + "' is not a valid " + fieldTypeName(def.type)
                         + " value for field '" + def.name + "'");
        }
    }

    static std::vector<PacketField> packetFields(const ClientDataSet& ds)
    {
        std::vector<PacketField> fields;
        fields.reserve(ds.mFields.size());
        for (const FieldDef& def : ds.mFields) {
            PacketField field;
            field.name = def.name;
            field.type = def.type;
            field.width = def.type == FieldType::String ? def.size : 0;
            field.i4 = def.type == FieldType::Integer && def.i4;
            fields.push_back(std::move(field));
        }
        return fields;
    }
};

// ---------------------------------------------------------------------------------------
// Field

const FieldDef& Field::def() const
{
    if (mIndex < 0 || mIndex >= mOwner->fieldCount())
        ClientDataSet::Impl::fail(*mOwner,
                                  "Field index " + std::to_string(mIndex) + " out of range");
    return mOwner->mFields[static_cast<std::size_t>(mIndex)];
}

std::string Field::displayLabel() const
{
    const FieldDef& d = def();
    return d.displayLabel.empty() ? d.name : d.displayLabel;
}

CellValue Field::value() const
{
    def();
    ClientDataSet::Impl::checkActive(*mOwner);
    const auto* row = ClientDataSet::Impl::readRow(*mOwner);
    return row ? (*row)[static_cast<std::size_t>(mIndex)] : CellValue{};
}

bool Field::isNull() const
{
    return std::holds_alternative<std::monostate>(value());
}

std::string Field::asString() const
{
    return cellText(value());
}

std::int64_t Field::asInteger() const
{
    const CellValue cell = value();
    if (std::holds_alternative<std::monostate>(cell))
        return 0;
    try {
        return Variant::fromCell(cell).asInteger();
    } catch (const VariantError&) {
        ClientDataSet::Impl::fail(*mOwner, "'" + cellText(cell)
                                               + "' is not a valid integer value for field '"
                                               + fieldName() + "'");
    }
}

double Field::asFloat() const
{
    const CellValue cell = value();
    if (std::holds_alternative<std::monostate>(cell))
        return 0;
    try {
        return Variant::fromCell(cell).asFloat();
    } catch (const VariantError&) {
        ClientDataSet::Impl::fail(*mOwner, "'" + cellText(cell)
                                               + "' is not a valid floating point value for field '"
                                               + fieldName() + "'");
    }
}

bool Field::asBoolean() const
{
    const CellValue cell = value();
    if (std::holds_alternative<std::monostate>(cell))
        return false;
    try {
        return Variant::fromCell(cell).asBoolean();
    } catch (const VariantError&) {
        ClientDataSet::Impl::fail(*mOwner, "'" + cellText(cell)
                                               + "' is not a valid boolean value for field '"
                                               + fieldName() + "'");
    }
}

void Field::setAsString(const std::string& value)
{
    ClientDataSet::Impl::write(*mOwner, mIndex, Variant(value));
}

void Field::setAsInteger(std::int64_t value)
{
    ClientDataSet::Impl::write(*mOwner, mIndex, Variant(value));
}

void Field::setAsFloat(double value)
{
    ClientDataSet::Impl::write(*mOwner, mIndex, Variant(value));
}

void Field::setAsBoolean(bool value)
{
    ClientDataSet::Impl::write(*mOwner, mIndex, Variant(value));
}

void Field::clear()
{
    def();
    if (!ClientDataSet::Impl::editing(*mOwner))
        ClientDataSet::Impl::fail(*mOwner, "Dataset not in edit or insert mode");
    mOwner->mBuffer[static_cast<std::size_t>(mIndex)] = CellValue{};
}

// ---------------------------------------------------------------------------------------
// ClientDataSet

ClientDataSet::ClientDataSet(std::string name) : mName(std::move(name)) {}

void ClientDataSet::addFieldDef(FieldDef def)
{
    mDeclared.push_back(std::move(def));
}

int ClientDataSet::fieldIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < mFields.size(); ++i) {
        if (equalsIgnoringAsciiCase(mFields[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

Field ClientDataSet::fieldByName(std::string_view name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        Impl::fail(*this, "Field '" + std::string(name) + "' not found");
    return Field(*this, index);
}

Field ClientDataSet::field(int index)
{
    if (index < 0 || index >= fieldCount())
        Impl::fail(*this, "Field index " + std::to_string(index) + " out of range");
    return Field(*this, index);
}

void ClientDataSet::createDataSet()
{
    std::vector<FieldDef> fields = !mDeclared.empty() ? mDeclared : mFields;
    if (fields.empty())
        Impl::fail(*this, "Cannot create a dataset without fields");
    mFields = std::move(fields);
    mRows.clear();
    mVisible.clear();
    mBuffer.clear();
    mState = State::Browse;
    mHasData = true;
    first();
}

void ClientDataSet::open()
{
    if (active())
        return;
    if (!mHasData)
        Impl::fail(*this, "Missing data provider or data packet");
    mState = State::Browse;
    Impl::rebuildVisible(*this);
    first();
}

void ClientDataSet::close()
{
    mBuffer.clear();
    mState = State::Inactive;
    mCursor = -1;
    mEof = mBof = true;
}

void ClientDataSet::setData(const Variant& packet)
{
    if (!packet.isPacket())
        Impl::fail(*this, std::string("Cannot load a variant of type (")
                              + Variant::typeName(packet.type()) + ") as a data packet");
    Impl::load(*this, parsePacket(packet.packet()));
}

Variant ClientDataSet::data() const
{
    Impl::checkActive(*this);
    return Variant::fromPacket(writePacket(Impl::packetFields(*this), mRows));
}

void ClientDataSet::loadFromPacket(const Packet& packet)
{
    Impl::load(*this, Packet(packet));
}

Packet ClientDataSet::toPacket() const
{
    Impl::checkActive(*this);
    return Packet{Impl::packetFields(*this), mRows};
}

void ClientDataSet::loadFromFile(const std::string& path, const PacketLimits& limits)
{
    std::string content;
    try {
        content = readFileUpTo(path, limits.maxBytes);
    } catch (const Error& e) {
        Impl::fail(*this, e.message());
    }
    try {
        Impl::load(*this, parsePacket(content, limits));
    } catch (PacketError& e) {
        e.addContext("loading " + path + (mName.empty() ? std::string() : " into " + mName));
        throw;
    }
}

void ClientDataSet::saveToFile(const std::string& path) const
{
    Impl::checkActive(*this);
    const std::string content = writePacket(Impl::packetFields(*this), mRows);
    try {
        writeFileAtomically(path, content);
    } catch (const Error& e) {
        Impl::fail(*this, e.message());
    }
}

void ClientDataSet::first()
{
    Impl::checkActive(*this);
    Impl::checkBrowse(*this);
    mCursor = mVisible.empty() ? -1 : 0;
    mEof = mVisible.empty();
    mBof = true;
}

void ClientDataSet::next()
{
    Impl::checkActive(*this);
    Impl::checkBrowse(*this);
    if (mCursor + 1 < static_cast<int>(mVisible.size())) {
        ++mCursor;
        mEof = false;
    } else {
        mEof = true;
    }
    mBof = false;
}

void ClientDataSet::prior()
{
    Impl::checkActive(*this);
    Impl::checkBrowse(*this);
    if (mCursor > 0) {
        --mCursor;
        mBof = false;
    } else {
        mBof = true;
    }
    mEof = mVisible.empty();
}

void ClientDataSet::last()
{
    Impl::checkActive(*this);
    Impl::checkBrowse(*this);
    mCursor = static_cast<int>(mVisible.size()) - 1;
    mEof = true;
    mBof = mVisible.empty();
}

bool ClientDataSet::eof() const
{
    return !active() || mVisible.empty() || mEof;
}

bool ClientDataSet::bof() const
{
    return !active() || mVisible.empty() || mBof;
}

int ClientDataSet::recNo() const
{
    return active() && Impl::hasCurrent(*this) ? mCursor + 1 : 0;
}

int ClientDataSet::recordCount() const
{
    return active() ? static_cast<int>(mVisible.size()) : 0;
}

bool ClientDataSet::isEmpty() const
{
    return recordCount() == 0;
}

void ClientDataSet::moveTo(int recNo)
{
    Impl::checkActive(*this);
    Impl::checkBrowse(*this);
    if (recNo < 1 || recNo > static_cast<int>(mVisible.size()))
        Impl::fail(*this, "Record " + std::to_string(recNo) + " out of range");
    mCursor = recNo - 1;
    mEof = mBof = false;
}

bool ClientDataSet::locate(std::string_view fieldName, std::string_view value)
{
    Impl::checkActive(*this);
    const int index = fieldIndex(fieldName);
    if (index < 0)
        Impl::fail(*this, "Field '" + std::string(fieldName) + "' not found");
    Impl::checkBrowse(*this);
    for (std::size_t i = 0; i < mVisible.size(); ++i) {
        const CellValue& cell =
            mRows[static_cast<std::size_t>(mVisible[i])][static_cast<std::size_t>(index)];
        if (cellText(cell) == value) {
            mCursor = static_cast<int>(i);
            mEof = mBof = false;
            return true;
        }
    }
    return false;
}

void ClientDataSet::insert()
{
    Impl::checkActive(*this);
    Impl::checkBrowse(*this);
    const int at =
        Impl::hasCurrent(*this) ? Impl::currentRowIndex(*this) : static_cast<int>(mRows.size());
    Impl::startEditing(*this, State::Insert, at);
}

void ClientDataSet::append()
{
    Impl::checkActive(*this);
    Impl::checkBrowse(*this);
    Impl::startEditing(*this, State::Insert, static_cast<int>(mRows.size()));
}

void ClientDataSet::edit()
{
    Impl::checkActive(*this);
    if (Impl::editing(*this))
        return;
    if (!Impl::hasCurrent(*this)) {
        insert(); // editing an empty dataset starts a new row
        return;
    }
    mBuffer = mRows[static_cast<std::size_t>(Impl::currentRowIndex(*this))];
    mInsertAt = Impl::currentRowIndex(*this);
    mState = State::Edit;
}

void ClientDataSet::post()
{
    Impl::checkActive(*this);
    if (!Impl::editing(*this))
        Impl::fail(*this, "Dataset not in edit or insert mode");
    const int row = mInsertAt;
    if (mState == State::Insert)
        mRows.insert(mRows.begin() + row, std::move(mBuffer));
    else
        mRows[static_cast<std::size_t>(row)] = std::move(mBuffer);
    mBuffer.clear();
    mState = State::Browse;
    Impl::rebuildVisible(*this);
    Impl::moveToRow(*this, row);
}

void ClientDataSet::cancel()
{
    if (!Impl::editing(*this))
        return;
    mBuffer.clear();
    mState = State::Browse;
}

void ClientDataSet::deleteRecord()
{
    Impl::checkActive(*this);
    if (mState == State::Insert) {
        cancel();
        return;
    }
    cancel();
    if (!Impl::hasCurrent(*this))
        Impl::fail(*this, "Cannot perform this operation on an empty dataset");
    const int row = Impl::currentRowIndex(*this);
    mRows.erase(mRows.begin() + row);
    Impl::rebuildVisible(*this);
    Impl::moveToRow(*this, row);
}

void ClientDataSet::emptyDataSet()
{
    Impl::checkActive(*this);
    cancel();
    mRows.clear();
    mVisible.clear();
    first();
}

void ClientDataSet::setFiltered(bool on)
{
    if (on && !mCompiledFilter)
        mCompiledFilter = Impl::compile(*this, mFilterText);
    mFiltered = on;
    Impl::refilter(*this);
}

void ClientDataSet::setFilter(std::string text)
{
    std::optional<FilterExpression> compiled;
    if (mFiltered)
        compiled = Impl::compile(*this, text); // a bad text leaves the old filter in place
    mFilterText = std::move(text);
    mCompiledFilter = std::move(compiled);
    if (mFiltered)
        Impl::refilter(*this);
}

void ClientDataSet::setFilterOptions(FilterOptions options)
{
    mFilterOptions = options;
    if (mFiltered)
        Impl::refilter(*this);
}

void ClientDataSet::setOnFilterRecord(std::function<bool(ClientDataSet&)> test)
{
    mOnFilterRecord = std::move(test);
    if (mFiltered)
        Impl::refilter(*this);
}

} // namespace kzt
