#include "model/ColourHatches.h"

#include <cstdint>
#include <map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/DocData.h"
#include "drawing/AcadDrawing.h"
#include "model/ModelSupport.h"

namespace kelmo_model {
namespace {

// What a hatch's mark says it colours; nothing for a hatch the module did not make as a colour.
struct Mark {
    bool found = false;
    bool asset = false;
    AcDbHandle coloured;
    AcDbHandle outline;
    // The handle the hatch was made with, as text that no copy translates; null in marks written before
    // hatches carried it.
    AcDbHandle made;
};

Mark markOf(const AcDbEntity* entity) {
    Mark mark;
    if (!AcDbHatch::cast(entity)) return mark;
    for (const AcDbXDataApp& app : entity->xDataApps()) {
        if (app.app != colourHatchApplication || app.items.size() < 2) continue;
        if (app.items[0].code != 1000 || app.items[1].code != 1005) continue;
        mark.found = true;
        mark.asset = app.items[0].str == L"ASSET";
        mark.coloured = AcDbHandle(app.items[1].str.c_str());
        if (app.items.size() > 2 && app.items[2].code == 1005) mark.outline = AcDbHandle(app.items[2].str.c_str());
        if (app.items.back().code == 1000 && app.items.size() > 2) mark.made = AcDbHandle(app.items.back().str.c_str());
    }
    return mark;
}

// A copy keeps the mark of the hatch it was copied from, and with it that hatch's handle: only the
// hatch the module made still stands under the handle it was made with.
bool isCopy(const Mark& mark, const AcDbEntity* hatch) {
    return !mark.made.isNull() && mark.made != hatch->objectId().handle();
}

// Model space, then the block of each paper layout: where a space, and its colour hatch, may lie.
std::vector<AcDbObjectId> layoutSpaces(AcDbDatabase* database) {
    std::vector<AcDbObjectId> spaces{database->modelSpaceId()};
    AcDbBlockTable* table = nullptr;
    if (database->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return spaces;
    AcDbBlockTableIterator* iterator = nullptr;
    if (table->newIterator(iterator) == Acad::eOk) {
        for (iterator->start(); !iterator->done(); iterator->step()) {
            AcDbBlockTableRecord* record = nullptr;
            if (iterator->getRecord(record, AcDb::kForRead) != Acad::eOk) continue;
            if (record->isLayout() && record->objectId() != spaces.front()) spaces.push_back(record->objectId());
            record->close();
        }
        delete iterator;
    }
    table->close();
    return spaces;
}

// The entities of every layout's space, model space first.
std::vector<AcDbObjectId> entitiesOfLayouts(AcDbDatabase* database) {
    std::vector<AcDbObjectId> ids;
    for (const AcDbObjectId& spaceId : layoutSpaces(database)) {
        AcDbBlockTableRecord* space = nullptr;
        if (acdbOpenObject(space, spaceId, AcDb::kForRead) != Acad::eOk) continue;
        const std::vector<AcDbObjectId> held = space->entityIds();
        space->close();
        ids.insert(ids.end(), held.begin(), held.end());
    }
    return ids;
}

// The document's colour hatches, read from the layouts the first time they are asked for.
CDocData* recordOf(CAcadDrawing* drawing, bool readNow) {
    AcApDocument* document = drawing ? drawing->getDocument() : nullptr;
    AcDbDatabase* database = drawing ? drawing->getDatabase() : nullptr;
    if (!document || !database) return nullptr;
    CDocData& data = g_docDataManager.docData(document);
    if (data.getColourHatchesRead() == database) return &data;
    if (!readNow) return nullptr;
    data.colourHatches().clear();
    data.copiedHatches().clear();
    data.setAssetHatchSunk(false);
    const std::vector<AcDbObjectId> ids = entitiesOfLayouts(database);
    // Older marks do not say which hatch was made: of those naming one space or asset, the first made
    // (the lowest handle) is the module's, since a copy is always made after what it copies.
    std::unordered_set<std::uint64_t> certain;
    std::vector<std::pair<AcDbObjectId, std::uint64_t>> marked;
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* entity = nullptr;
        if (id.isErased() || acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
        const Mark mark = markOf(entity);
        const bool copy = isCopy(mark, entity);
        entity->close();
        if (!mark.found) continue;
        if (copy) {
            data.copiedHatches().push_back({id});
            continue;
        }
        const std::uint64_t coloured = mark.coloured.value();
        marked.emplace_back(id, coloured);
        auto [at, added] = data.colourHatches().try_emplace(coloured, CDocData::ColourHatch{id, mark.asset});
        if (!mark.made.isNull()) {
            certain.insert(coloured);
            at->second = {id, mark.asset};
        } else if (!added && !certain.count(coloured) && id.handle() < at->second.hatch.handle()) {
            at->second = {id, mark.asset};
        }
    }
    for (const auto& [id, coloured] : marked)
        if (data.colourHatches().at(coloured).hatch != id) data.copiedHatches().push_back({id});
    data.setColourHatchesRead(database);
    return &data;
}

bool registerApplication(AcDbDatabase* database) {
    AcDbDatabase* working = acdbWorkingDatabase();
    acdbSetWorkingDatabase(database);
    const int result = acdbRegApp(colourHatchApplication);
    acdbSetWorkingDatabase(working);
    return result == RTNORM;
}

void mark(CAcadDrawing* drawing, AcDbObjectId hatchId, AcDbObjectId coloured, bool asset, AcDbObjectId outline) {
    if (!registerApplication(drawing->getDatabase())) return;
    AcDbEntity* hatch = nullptr;
    if (acdbOpenAcDbEntity(hatch, hatchId, AcDb::kForWrite) != Acad::eOk) return;
    OpenedObject opened(hatch);
    const std::wstring colouredText = coloured.handle().text();
    const std::wstring outlineText = outline.handle().text();
    const std::wstring madeText = hatchId.handle().text();
    resbuf* data = outline.isNull()
                       ? acutBuildList(1001, colourHatchApplication, 1000, asset ? L"ASSET" : L"SPACE", 1005,
                                       colouredText.c_str(), 1000, madeText.c_str(), 0)
                       : acutBuildList(1001, colourHatchApplication, 1000, asset ? L"ASSET" : L"SPACE", 1005,
                                       colouredText.c_str(), 1005, outlineText.c_str(), 1000, madeText.c_str(), 0);
    hatch->setXData(data);
    acutRelRb(data);
}

void eraseIfLive(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (id.isNull() || id.isErased() || acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) return;
    entity->erase();
    entity->close();
}

// Erases the hatch that coloured it before, and the outline an asset's hatch was built from.
void eraseEarlier(AcDbDatabase* database, AcDbObjectId earlier, AcDbObjectId coloured) {
    AcDbEntity* hatch = nullptr;
    if (earlier.isErased() || acdbOpenAcDbEntity(hatch, earlier, AcDb::kForWrite) != Acad::eOk) return;
    OpenedObject opened(hatch);
    const Mark mark = markOf(hatch);
    // A hatch copied by hand, from this space or another, is never the module's to erase.
    if (!mark.found || mark.coloured != coloured.handle() || isCopy(mark, hatch)) return;
    hatch->erase();
    AcDbObjectId outline;
    if (!mark.outline.isNull() && database->getAcDbObjectId(outline, false, mark.outline) == Acad::eOk) {
        AcDbEntity* drawn = nullptr;
        if (outline.isErased() || acdbOpenAcDbEntity(drawn, outline, AcDb::kForRead) != Acad::eOk) return;
        const bool polyline = AcDbPolyline::cast(drawn) != nullptr;
        drawn->close();
        if (polyline) eraseIfLive(outline);
    }
}

// The draw-order table of a layout's space, open for write; null when it keeps none.
AcDbSortentsTable* drawOrderOf(AcDbObjectId spaceId) {
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, spaceId, AcDb::kForRead) != Acad::eOk) return nullptr;
    const AcDbObjectId dictionaryId = space->extensionDictionary();
    space->close();
    AcDbDictionary* dictionary = nullptr;
    if (dictionaryId.isNull() || acdbOpenObject(dictionary, dictionaryId, AcDb::kForRead) != Acad::eOk) return nullptr;
    AcDbObject* found = nullptr;
    const Acad::ErrorStatus status = dictionary->getAt(L"ACAD_SORTENTS", found, AcDb::kForWrite);
    dictionary->close();
    if (status != Acad::eOk) return nullptr;
    auto* table = AcDbSortentsTable::cast(found);
    if (!table) found->close();
    return table;
}

// The space that holds a live entity; null otherwise.
AcDbObjectId spaceOf(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (id.isNull() || id.isErased() || acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk)
        return AcDbObjectId();
    const AcDbObjectId space = entity->ownerId();
    entity->close();
    return space;
}

// The extents of a live hatch of the space; false when it has none.
bool extentsOf(AcDbObjectId space, AcDbObjectId id, AcDbExtents& extents) {
    AcDbEntity* hatch = nullptr;
    if (id.isErased() || acdbOpenAcDbEntity(hatch, id, AcDb::kForRead) != Acad::eOk) return false;
    const bool found = hatch->ownerId() == space && hatch->getGeomExtents(extents) == Acad::eOk;
    hatch->close();
    return found;
}

// Areas that share more than an edge, as seen in plan.
bool overlap(const AcDbExtents& a, const AcDbExtents& b) {
    return a.minPoint().x < b.maxPoint().x && b.minPoint().x < a.maxPoint().x && a.minPoint().y < b.maxPoint().y &&
           b.minPoint().y < a.maxPoint().y;
}

// A copy of a colour hatch, which another program made and which colours nothing of its own, never hides
// a colour the module gives: the copies over the new hatch, in its layout, go beneath it, to the bottom.
void sinkCopiesUnder(CDocData* data, AcDbObjectId hatchId) {
    const AcDbObjectId space = spaceOf(hatchId);
    AcDbExtents coloured;
    if (data->copiedHatches().empty() || !extentsOf(space, hatchId, coloured)) return;
    AcDbObjectIdArray over;
    std::vector<CDocData::CopiedHatch*> sinking;
    for (CDocData::CopiedHatch& copy : data->copiedHatches()) {
        AcDbExtents copied;
        if (!extentsOf(space, copy.hatch, copied) || !overlap(coloured, copied)) continue;
        over.append(copy.hatch);
        sinking.push_back(&copy);
    }
    if (over.isEmpty()) return;
    AcDbSortentsTable* table = drawOrderOf(space);
    if (!table) return;
    if (table->moveToBottom(over) == Acad::eOk)
        for (CDocData::CopiedHatch* copy : sinking) copy->under = true;
    table->close();
}

} // namespace

Acad::ErrorStatus postColourHatch(CAcadDrawing* drawing, AcDbHatch*& hatch, AcDbObjectId* hatchId,
                                  AcDbObjectId coloured, AcDbObjectId space, bool asset, AcDbObjectId outline) {
    AcDbObjectId posted;
    const Acad::ErrorStatus status = postUnderneath(drawing, hatch, &posted, space);
    if (hatchId) *hatchId = posted;
    if (status != Acad::eOk || coloured.isNull()) return status;
    CDocData* data = recordOf(drawing, true);
    mark(drawing, posted, coloured, asset, outline);
    if (!data) return status;
    CDocData::ColourHatch& colour = data->colourHatches()[coloured.handle().value()];
    if (!colour.hatch.isNull() && colour.hatch != posted) eraseEarlier(drawing->getDatabase(), colour.hatch, coloured);
    colour = {posted, asset};
    if (asset) data->setAssetHatchSunk(true);
    sinkCopiesUnder(data, posted);
    return status;
}

void eraseColourHatch(CAcadDrawing* drawing, AcDbObjectId coloured) {
    CDocData* data = coloured.isNull() ? nullptr : recordOf(drawing, true);
    if (!data) return;
    const auto found = data->colourHatches().find(coloured.handle().value());
    if (found == data->colourHatches().end()) return;
    eraseEarlier(drawing->getDatabase(), found->second.hatch, coloured);
    data->colourHatches().erase(found);
}

AcDbObjectId colourHatchOf(CAcadDrawing* drawing, AcDbObjectId coloured) {
    CDocData* data = coloured.isNull() ? nullptr : recordOf(drawing, true);
    if (!data) return AcDbObjectId();
    const auto found = data->colourHatches().find(coloured.handle().value());
    if (found == data->colourHatches().end() || found->second.hatch.isErased()) return AcDbObjectId();
    return found->second.hatch;
}

CString lockedColourHatchLayer(CAcadDrawing* drawing, AcDbObjectId coloured) {
    const AcDbObjectId made = colourHatchOf(drawing, coloured);
    AcDbEntity* hatch = nullptr;
    if (made.isNull() || acdbOpenAcDbEntity(hatch, made, AcDb::kForRead) != Acad::eOk) return CString();
    const AcDbObjectId layer = hatch->layerId();
    hatch->close();
    return lockedLayerName(layer);
}

CString lockedHatchLayer(CAcadDrawing* drawing, const CString& layer) {
    AcDbDatabase* database = drawing ? drawing->getDatabase() : nullptr;
    if (!database) return CString();
    if (layer.IsEmpty()) return lockedLayerName(database->clayer());
    AcDbLayerTable* table = nullptr;
    if (database->getLayerTable(table, AcDb::kForRead) != Acad::eOk) return CString();
    AcDbObjectId id;
    const Acad::ErrorStatus found = table->getAt(static_cast<const wchar_t*>(layer), id);
    table->close();
    return found == Acad::eOk ? lockedLayerName(id) : CString();
}

void keepAssetHatchesOnTop(CAcadDrawing* drawing) {
    CDocData* data = recordOf(drawing, false);
    if (!data || !data->getAssetHatchSunk()) return;
    data->setAssetHatchSunk(false);
    // Each layout keeps its own draw order: its space hatches go back under the asset hatches it holds.
    std::map<std::uint64_t, std::pair<AcDbObjectId, AcDbObjectIdArray>> spacesByLayout;
    std::unordered_set<std::uint64_t> withAssets;
    for (const auto& [handle, colour] : data->colourHatches()) {
        const AcDbObjectId space = spaceOf(colour.hatch);
        if (space.isNull()) continue;
        const std::uint64_t layout = space.handle().value();
        if (colour.asset) {
            withAssets.insert(layout);
        } else {
            auto& [layoutSpace, hatches] = spacesByLayout[layout];
            layoutSpace = space;
            hatches.append(colour.hatch);
        }
    }
    for (const auto& [layout, held] : spacesByLayout) {
        const auto& [space, hatches] = held;
        if (!withAssets.count(layout)) continue;
        AcDbSortentsTable* table = drawOrderOf(space);
        if (!table) continue;
        // As one group, so the space hatches keep their order among themselves.
        table->moveToBottom(hatches);
        // The copies put beneath a colour stay beneath every space hatch.
        AcDbObjectIdArray copies;
        for (const CDocData::CopiedHatch& copy : data->copiedHatches())
            if (copy.under && spaceOf(copy.hatch) == space) copies.append(copy.hatch);
        if (!copies.isEmpty()) table->moveToBottom(copies);
        table->close();
    }
}

} // namespace kelmo_model
