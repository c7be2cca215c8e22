// Draw order of a block's entities: sort handles, and moves to the bottom, the top or next to another entity.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbObject.h"

ACRX_DEFINE_MEMBERS(AcDbSortentsTable, AcDbObject, L"SORTENTSTABLE")

// ---------------------------------------------------------------- draw order

Acad::ErrorStatus AcDbSortentsTable::setBlockId(AcDbObjectId id) {
    assertWriteEnabled();
    block_ = id;
    return Acad::eOk;
}

AcDbObject* AcDbSortentsTable::cloneData() const {
    settle();
    return new AcDbSortentsTable(*this);
}

const std::vector<std::pair<AcDbObjectId, AcDbHandle>>& AcDbSortentsTable::entries() const {
    settle();
    return entries_;
}

void AcDbSortentsTable::setEntries(std::vector<std::pair<AcDbObjectId, AcDbHandle>> e) {
    entries_ = std::move(e);
    indexed_ = false;
    moved_.clear();
}

AcDbBlockTableRecord* AcDbSortentsTable::block() const {
    AcDbDatabase* db = database() ? database() : block_.database();
    return db ? AcDbBlockTableRecord::cast(db->peek(block_)) : nullptr;
}

// A live entity of the block.
bool AcDbSortentsTable::holds(AcDbObjectId id) const {
    AcDbDatabase* db = database() ? database() : block_.database();
    if (!db || id.isNull() || id.database() != db) return false;
    AcDbObject* object = db->peek(id);
    return object && !object->isErased() && AcDbEntity::cast(object) && object->ownerId() == block_;
}

AcDbSortentsTable::Place AcDbSortentsTable::placeOf(AcDbObjectId id) const {
    if (auto found = moved_.find(id); found != moved_.end()) return found->second;
    if (!indexed_) {
        sortHandles_.clear();
        for (const auto& e : entries_) sortHandles_[e.first] = e.second;
        indexed_ = true;
    }
    auto found = sortHandles_.find(id);
    return {1, (found != sortHandles_.end() ? found->second : id.handle()).value()};
}

void AcDbSortentsTable::settle() const {
    if (moved_.empty()) return;
    AcDbObjectIdArray order;
    if (getFullDrawOrder(order) != Acad::eOk) return;
    assignSortHandles(order.vec());
}

Acad::ErrorStatus AcDbSortentsTable::getSortHandle(AcDbObjectId id, AcDbHandle& h) const {
    settle();
    const Place place = placeOf(id);
    h = place.first == 1 ? AcDbHandle(place.second) : id.handle();
    return id.isNull() ? Acad::eNullObjectId : Acad::eOk;
}

Acad::ErrorStatus AcDbSortentsTable::getFullDrawOrder(AcDbObjectIdArray& ents, Adesk::UInt8) const {
    ents.removeAll();
    auto* btr = block();
    if (!btr) return Acad::eInvalidInput;
    std::vector<std::pair<Place, AcDbObjectId>> order;
    order.reserve(btr->entityIds().size());
    for (AcDbObjectId id : btr->entityIds()) {
        if (id.isErased() || !id.isValid()) continue;
        order.push_back({placeOf(id), id});
    }
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& o : order) ents.append(o.second);
    return Acad::eOk;
}

// Sort handles are the entities' own handles handed out again in the new order.
void AcDbSortentsTable::assignSortHandles(const std::vector<AcDbObjectId>& order) const {
    std::vector<std::uint64_t> pool;
    pool.reserve(order.size());
    for (AcDbObjectId id : order) pool.push_back(id.handle().value());
    std::sort(pool.begin(), pool.end());
    entries_.clear();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i].handle().value() != pool[i]) entries_.push_back({order[i], AcDbHandle(pool[i])});
    indexed_ = false;
    moved_.clear();
    movedDown_ = 0;
    movedUp_ = 0;
}

Acad::ErrorStatus AcDbSortentsTable::reorder(const std::vector<AcDbObjectId>& order) {
    assertWriteEnabled();
    assignSortHandles(order);
    return Acad::eOk;
}

// The entities of ar keep their relative order and go, as one group, to the bottom or the top: each
// takes the next rank past the end, so nothing else is touched.
Acad::ErrorStatus AcDbSortentsTable::moveToEnd(const AcDbObjectIdArray& ar, bool top) {
    if (!block()) return Acad::eInvalidInput;
    std::vector<std::pair<Place, AcDbObjectId>> group;
    for (AcDbObjectId id : ar) {
        if (!holds(id)) return Acad::eInvalidInput;
        group.push_back({placeOf(id), id});
    }
    std::sort(group.begin(), group.end());
    group.erase(std::unique(group.begin(), group.end()), group.end());
    assertWriteEnabled();
    if (top) {
        for (const auto& g : group) moved_[g.second] = {2, ++movedUp_};
    } else {
        // The group's topmost goes down first, so its lowest ends lowest.
        for (auto g = group.rbegin(); g != group.rend(); ++g)
            moved_[g->second] = {0, std::numeric_limits<std::uint64_t>::max() - ++movedDown_};
    }
    return Acad::eOk;
}

// The entities of ar go, as one group, just below or just above target.
Acad::ErrorStatus AcDbSortentsTable::moveNextTo(const AcDbObjectIdArray& ar, AcDbObjectId target, bool above) {
    AcDbObjectIdArray full;
    Acad::ErrorStatus es = getFullDrawOrder(full);
    if (es != Acad::eOk) return es;
    if (!full.contains(target) || ar.contains(target)) return Acad::eInvalidInput;
    std::vector<AcDbObjectId> order;
    for (AcDbObjectId id : full) {
        if (ar.contains(id)) continue;
        if (above) order.push_back(id);
        if (id == target)
            for (AcDbObjectId m : full)
                if (ar.contains(m)) order.push_back(m);
        if (!above) order.push_back(id);
    }
    return reorder(order);
}

Acad::ErrorStatus AcDbSortentsTable::moveToBottom(const AcDbObjectIdArray& ar) {
    return moveToEnd(ar, false);
}
Acad::ErrorStatus AcDbSortentsTable::moveToTop(const AcDbObjectIdArray& ar) {
    return moveToEnd(ar, true);
}
Acad::ErrorStatus AcDbSortentsTable::moveBelow(const AcDbObjectIdArray& ar, AcDbObjectId target) {
    return moveNextTo(ar, target, false);
}
Acad::ErrorStatus AcDbSortentsTable::moveAbove(const AcDbObjectIdArray& ar, AcDbObjectId target) {
    return moveNextTo(ar, target, true);
}

Acad::ErrorStatus AcDbSortentsTable::swapOrder(AcDbObjectId a, AcDbObjectId b) {
    AcDbObjectIdArray full;
    Acad::ErrorStatus es = getFullDrawOrder(full);
    if (es != Acad::eOk) return es;
    int ia = full.find(a), ib = full.find(b);
    if (ia < 0 || ib < 0) return Acad::eInvalidInput;
    std::vector<AcDbObjectId> order = full.vec();
    std::swap(order[size_t(ia)], order[size_t(ib)]);
    return reorder(order);
}

void AcDbSortentsTable::collectReferences(std::vector<AcDbObjectId*>& refs) {
    // Moves are kept by entity; as sort handles the entities can be named anew.
    settle();
    indexed_ = false;
    AcDbObject::collectReferences(refs);
    refs.push_back(&block_);
    for (auto& e : entries_) refs.push_back(&e.first);
}
