#include "cad/app/HostApplicationServices.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "cad/plot/PlotEngine.h"

#include <cwctype>
#include <utility>
#include <vector>

namespace {

AcDbDatabase* dbOr(const AcDbDatabase* db) {
    if (db) return const_cast<AcDbDatabase*>(db);
    return acdbHostApplicationServices()->workingDatabase();
}

std::wstring upper(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return s;
}

// The layouts of a drawing as (name, id), in dictionary order.
std::vector<std::pair<std::wstring, AcDbObjectId>> layouts(AcDbDatabase* db) {
    std::vector<std::pair<std::wstring, AcDbObjectId>> out;
    if (!db) return out;
    AcDbDictionary* dict = nullptr;
    if (db->getLayoutDictionary(dict, AcDb::kForRead) != Acad::eOk) return out;
    AcDbDictionaryIterator* it = dict->newIterator();
    for (; it && !it->done(); it->next()) out.emplace_back(it->name(), it->objectId());
    delete it;
    dict->close();
    return out;
}

bool isModelLayout(AcDbDatabase* db, AcDbObjectId id) {
    AcDbLayout* l = nullptr;
    if (acdbOpenObject(l, id, AcDb::kForRead) != Acad::eOk) return false;
    bool model = l->getBlockTableRecordId() == db->modelSpaceId();
    l->close();
    return model;
}

} // namespace

AcDbObjectId AcDbLayoutManager::activeLayoutId(const AcDbDatabase* cdb) {
    AcDbDatabase* db = dbOr(cdb);
    if (!db) return AcDbObjectId();
    auto all = layouts(db);
    AcDbObjectId model, firstPaper, selected;
    int firstTab = 1 << 30;
    for (const auto& [name, id] : all) {
        AcDbLayout* l = nullptr;
        if (acdbOpenObject(l, id, AcDb::kForRead) != Acad::eOk) continue;
        if (l->getBlockTableRecordId() == db->modelSpaceId()) {
            model = id;
        } else {
            if (l->getTabSelected() && selected.isNull()) selected = id;
            if (l->getTabOrder() < firstTab) {
                firstTab = l->getTabOrder();
                firstPaper = id;
            }
        }
        l->close();
    }
    if (db->tilemode() || (selected.isNull() && firstPaper.isNull())) return model;
    return selected.isNull() ? firstPaper : selected;
}

const ACHAR* AcDbLayoutManager::findActiveLayout(bool allowModel, const AcDbDatabase* cdb) {
    AcDbDatabase* db = dbOr(cdb);
    activeName_.clear();
    AcDbObjectId id = activeLayoutId(db);
    if (id.isNull() || (!allowModel && isModelLayout(db, id))) return activeName_.c_str();
    AcDbLayout* l = nullptr;
    if (acdbOpenObject(l, id, AcDb::kForRead) == Acad::eOk) {
        activeName_ = l->getLayoutName();
        l->close();
    }
    return activeName_.c_str();
}

AcDbObjectId AcDbLayoutManager::getActiveLayoutBTRId(const AcDbDatabase* cdb) {
    AcDbObjectId id = activeLayoutId(cdb);
    AcDbLayout* l = nullptr;
    AcDbObjectId btr;
    if (acdbOpenObject(l, id, AcDb::kForRead) == Acad::eOk) {
        btr = l->getBlockTableRecordId();
        l->close();
    }
    return btr;
}

AcDbObjectId AcDbLayoutManager::getLayoutId(const ACHAR* name, AcDbDatabase* cdb) {
    AcDbDatabase* db = dbOr(cdb);
    if (!name) return AcDbObjectId();
    std::wstring want = upper(name);
    for (const auto& [n, id] : layouts(db))
        if (upper(n) == want) return id;
    return AcDbObjectId();
}

Acad::ErrorStatus AcDbLayoutManager::setCurrentLayoutId(AcDbObjectId id) {
    AcDbLayout* target = nullptr;
    if (acdbOpenObject(target, id, AcDb::kForRead) != Acad::eOk) return Acad::eNoLayout;
    AcDbDatabase* db = target->database();
    bool model = target->getBlockTableRecordId() == db->modelSpaceId();
    target->close();
    // Switching layouts changes the drawing: the document must allow writing.
    if (!db->isWriteAllowed()) return Acad::eLockViolation;
    for (const auto& [n, lid] : layouts(db)) {
        AcDbLayout* l = nullptr;
        if (acdbOpenObject(l, lid, AcDb::kForWrite) != Acad::eOk) continue;
        l->setTabSelected(lid == id);
        l->close();
    }
    return db->setTilemode(model);
}

Acad::ErrorStatus AcDbLayoutManager::setCurrentLayout(const ACHAR* name, AcDbDatabase* db) {
    AcDbObjectId id = getLayoutId(name, db);
    if (id.isNull()) return Acad::eKeyNotFound;
    return setCurrentLayoutId(id);
}

AcDbLayout* AcDbLayoutManager::findLayoutNamed(const ACHAR* name, bool leaveRecordOpen, AcDbDatabase* db) {
    AcDbObjectId id = getLayoutId(name, db);
    if (id.isNull()) return nullptr;
    AcDbLayout* l = nullptr;
    if (leaveRecordOpen) {
        if (acdbOpenObject(l, id, AcDb::kForWrite) != Acad::eOk && acdbOpenObject(l, id, AcDb::kForRead) != Acad::eOk)
            return nullptr;
        return l;
    }
    // Closed again at once, as the record is when not left open: the pointer is only for reading.
    if (acdbOpenObject(l, id, AcDb::kForRead) != Acad::eOk) return nullptr;
    l->close();
    return l;
}

int AcDbLayoutManager::countLayouts(AcDbDatabase* db) {
    return int(layouts(dbOr(db)).size());
}

AcDbDatabase* AcDbHostApplicationServices::workingDatabase() const {
    return acdbWorkingDatabase();
}
void AcDbHostApplicationServices::setWorkingDatabase(AcDbDatabase* db) {
    acdbSetWorkingDatabase(db);
}

AcDbPlotSettingsValidator* AcDbHostApplicationServices::plotSettingsValidator() const {
    return acdbPlotSettingsValidator();
}

AcDbHostApplicationServices* acdbHostApplicationServices() {
    static AcDbHostApplicationServices services;
    return &services;
}
