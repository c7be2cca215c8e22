// Record sets: the rows of one statement, fetched whole, read row by row.
#include "ado/AdoInternal.h"

namespace ADODB {

namespace {

[[noreturn]] void noCurrentRecord() {
    raise(adErrNoCurrentRecord,
          L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current "
          L"record.");
}

[[noreturn]] void notFound() {
    raise(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

} // namespace

Recordset::Recordset() = default;

void Recordset::requireOpen() const {
    if (!open_) raise(adErrObjectClosed, L"Operation is not allowed when the object is closed.");
}

void Recordset::fill(std::vector<std::wstring> names, std::vector<DataTypeEnum> types,
                     std::vector<std::vector<_variant_t>> rows,
                     std::map<std::pair<long, long>, std::wstring> unreadable) {
    names_ = std::move(names);
    types_ = std::move(types);
    rows_ = std::move(rows);
    unreadable_ = std::move(unreadable);
    position_ = 0;
    open_ = true;
}

VARIANT_BOOL Recordset::GetBOF() const {
    requireOpen();
    return rows_.empty() ? VARIANT_TRUE : VARIANT_FALSE;
}

VARIANT_BOOL Recordset::GetEOF() const {
    requireOpen();
    return position_ >= static_cast<long>(rows_.size()) ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT Recordset::MoveNext() {
    requireOpen();
    if (position_ >= static_cast<long>(rows_.size())) noCurrentRecord();
    ++position_;
    return S_OK;
}

HRESULT Recordset::MoveFirst() {
    requireOpen();
    position_ = 0;
    return S_OK;
}

HRESULT Recordset::Close() {
    requireOpen();
    open_ = false;
    rows_.clear();
    unreadable_.clear();
    names_.clear();
    types_.clear();
    return S_OK;
}

long Recordset::GetRecordCount() const {
    requireOpen();
    return static_cast<long>(rows_.size());
}

FieldsPtr Recordset::GetFields() const {
    requireOpen();
    return FieldsPtr(std::make_shared<Fields>(shared_from_this()));
}

long Recordset::column(const _variant_t& index) const {
    requireOpen();
    long i = -1;
    switch (index.vt) {
        case VT_I2:
            i = index.iVal;
            break;
        case VT_I4:
            i = index.lVal;
            break;
        case VT_INT:
            i = index.intVal;
            break;
        case VT_UI1:
            i = index.bVal;
            break;
        case VT_BSTR:
            for (size_t k = 0; k < names_.size(); ++k)
                if (index.bstrVal && names_[k] == index.bstrVal) {
                    i = static_cast<long>(k);
                    break;
                }
            break;
        default:
            break;
    }
    if (i < 0 || i >= static_cast<long>(names_.size())) notFound();
    return i;
}

_variant_t Recordset::current(long column) const {
    requireOpen();
    if (position_ >= static_cast<long>(rows_.size())) noCurrentRecord();
    if (const auto why = unreadable_.find({position_, column}); why != unreadable_.end())
        raise(adErrCantConvertValue, why->second);
    return rows_[static_cast<size_t>(position_)][static_cast<size_t>(column)];
}

_variant_t Recordset::GetCollect(const _variant_t& index) const {
    return current(column(index));
}

_bstr_t Field::GetName() const {
    return _bstr_t(owner_->names().at(static_cast<size_t>(column_)).c_str());
}

DataTypeEnum Field::GetType() const {
    return owner_->types().at(static_cast<size_t>(column_));
}

_variant_t Field::GetValue() const {
    return owner_->current(column_);
}

long Fields::GetCount() const {
    return static_cast<long>(owner_->names().size());
}

FieldPtr Fields::GetItem(const _variant_t& index) const {
    return FieldPtr(std::make_shared<Field>(owner_, owner_->column(index)));
}

} // namespace ADODB
