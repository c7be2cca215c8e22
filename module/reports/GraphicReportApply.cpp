// Applying a graphic report to an open drawing: layers, link lines, the categories' assets and
// spaces, and the legend and pie chart at their markers.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "cad/editor/EdWildcard.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadDrawingState.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/ColourHatches.h"
#include "model/Hatch.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"
#include "reports/LegendTable.h"
#include "reports/LinkLines.h"
#include "reports/MarkerBlockLegend.h"
#include "reports/MarkerBlockPie.h"
#include "reports/PieChart.h"
#include "reports/ReportSupport.h"

KELMO_SOURCE_FILE(L"GraphicReport");

namespace {

constexpr int typeFloor = 8;
constexpr int typeSite = 10;

void markOn(CAcadDrawingState* state, const CString& layer) {
    if (!layer.IsEmpty()) state->setLayerState(layer, 0, 0, 0, 1);
}

// The layers a written block shows on: its own and its hatch's.
void markBlockOn(CAcadDrawingState* state, CBlockDWG* block) {
    markOn(state, block->getLayer());
    if (block->getHatch()) markOn(state, block->getHatch()->getLayer());
}

// Writes one block; its problems are printed after a line naming it, and the work goes on. A
// failure that stops the block's write (hyperlinks too large for the space, say) is one of them.
void writeBlock(CAcadDrawing* drawing, CBlockDWG* block) {
    CKelmoExceptions warnings;
    try {
        block->applyToDWG(drawing, &warnings);
    } catch (CEXKelmo* failure) {
        warnings.add(failure);
    }
    if (warnings.getCount() == 0) return;
    acutPrintf(L"\t\terror(s) occurred whilst applying kelmo block %s - %s.\n",
               static_cast<const wchar_t*>(block->getCode()), static_cast<const wchar_t*>(block->CBlock::getHandle()));
    warnings.reportToCommandLine();
}

// A block of the report that the drawing has no space for: the planner hears which, and why.
void skipped(CBlockDWG* block, const wchar_t* why) {
    acutPrintf(L"\t\tkelmo block %s %s - skipped.\n", static_cast<const wchar_t*>(block->CBlock::getHandle()), why);
}

// Copies the category block's look into a block read from the drawing, keeping the placement of its
// labels, and, when asked, its own area.
void format(CBlockDWG* category, CBlockDWG* target, bool keepArea) {
    CAttributes* attributes = target->getAttributes();
    const double rotation = attributes ? attributes->getRotation() : 0.0;
    const double height = attributes ? attributes->getHeight() : 0.0;
    const double widthFactor = attributes ? attributes->getWidthFactor() : 0.0;
    const double area = target->getArea();
    category->copyFormatting(target);
    if (attributes) {
        attributes->setRotation(rotation);
        attributes->setHeight(height);
        attributes->setWidthFactor(widthFactor);
    }
    if (keepArea) target->setArea(area);
}

// The layer new inserts go on.
CString currentLayer(AcDbDatabase* database) {
    AcDbLayerTableRecord* layer = nullptr;
    if (acdbOpenObject(layer, database->clayer(), AcDb::kForRead) != Acad::eOk) return CString();
    const CString name = layer->getName();
    layer->close();
    return name;
}

// A chart shows on the layer it is inserted on and on its categories' hatch layers.
void markChartOn(CAcadDrawingState* state, CAcadDrawing* drawing, CCategories* categories) {
    markOn(state, currentLayer(drawing->getDatabase()));
    for (int i = 0; i < categories->getCount(); ++i)
        if (CHatch* hatch = categories->getAt(i)->getHatch()) markOn(state, hatch->getLayer());
}

// Only inserts of space definitions are spaces: a report naming a desk or a marker must not
// turn it into a room.
bool isSpaceReference(AcDbBlockReference* reference) {
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return false;
    const CString name = definition->getName();
    definition->close();
    return ed::wildcardMatch(static_cast<const wchar_t*>(name), L"ROOM-*");
}

// A pattern drawn at a scale that is no size is drawn at 1: the planner hears of it. A solid fill
// has no scale to lose.
void warnScale(CCategory* category) {
    const CHatch* hatch = category->getHatch();
    if (!hatch || hatch->getScale() > 0 || hatch->getPattern().CompareNoCase(L"SOLID") == 0) return;
    acutPrintf(L"\t\tcategory %s: hatch scale %d is not above 0 - its hatches are drawn at scale 1.\n",
               static_cast<const wchar_t*>(kelmo_reports::shownTitle(category->getTitle())), hatch->getScale());
}

// A hatch layer that no layer of the drawing can be named, or none, leaves the category's hatches on
// the current layer, and one holding characters no layer name holds goes on the name without them: the
// planner hears which, and that layer shows.
void warnLayer(CAcadDrawing* drawing, CCategory* category, CAcadDrawingState* state) {
    const CHatch* hatch = category->getHatch();
    if (!hatch) return;
    const CString title = kelmo_reports::shownTitle(category->getTitle());
    const CString cleaned = CLayer::validateLayerName(hatch->getLayer());
    const bool valid = !cleaned.IsEmpty() && acdbSNValid(cleaned) == Acad::eOk;
    if (valid && cleaned == hatch->getLayer()) return;
    const CString used = valid ? cleaned : currentLayer(drawing->getDatabase());
    if (hatch->getLayer().IsEmpty())
        acutPrintf(L"\t\tcategory %s: no hatch layer - its hatches are drawn on layer %s.\n",
                   static_cast<const wchar_t*>(title), static_cast<const wchar_t*>(used));
    else
        acutPrintf(L"\t\tcategory %s: hatch layer %s cannot be a layer name - its hatches are drawn on layer %s.\n",
                   static_cast<const wchar_t*>(title), static_cast<const wchar_t*>(hatch->getLayer()),
                   static_cast<const wchar_t*>(used));
    markOn(state, used);
}

// The entity added last to model space.
AcDbObjectId newestEntity(CAcadDrawing* drawing) {
    AcDbBlockTableRecord* modelSpace = nullptr;
    if (acdbOpenObject(modelSpace, drawing->getDatabase()->modelSpaceId(), AcDb::kForRead) != Acad::eOk)
        return AcDbObjectId();
    const AcDbObjectId newest = modelSpace->entityIds().empty() ? AcDbObjectId() : modelSpace->entityIds().back();
    modelSpace->close();
    return newest;
}

// The name of the definition an insert shows, or nothing.
CString definitionName(AcDbBlockReference* insert) {
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, insert->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return CString();
    const CString name = definition->getName();
    definition->close();
    return name;
}

// A legend or pie chart placed at its marker takes the place of those placed before: earlier inserts
// of its definition, and charts of the same kind (other reports') at the same point, leave model space.
// `before` is the newest entity before placing.
void replaceEarlierCharts(CAcadDrawing* drawing, AcDbObjectId before) {
    const AcDbObjectId placed = newestEntity(drawing);
    if (placed.isNull() || placed == before) return;
    AcDbBlockReference* chart = nullptr;
    if (acdbOpenObject(chart, placed, AcDb::kForRead) != Acad::eOk) return;
    const AcDbObjectId definition = chart->blockTableRecord();
    const AcGePoint3d position = chart->position();
    const CString name = definitionName(chart);
    chart->close();
    // Only a chart a report defined ("[KELMO_LEGEND]_", "[KELMO_PIECHART]_"): never the drawing's own.
    const int kindEnds = name.Find(L"]_");
    if (name.Left(7) != L"[KELMO_" || kindEnds < 0) return;
    const CString kind = name.Left(kindEnds + 2);
    AcDbBlockTableRecord* modelSpace = nullptr;
    if (acdbOpenObject(modelSpace, drawing->getDatabase()->modelSpaceId(), AcDb::kForRead) != Acad::eOk) return;
    const std::vector<AcDbObjectId> ids = modelSpace->entityIds();
    modelSpace->close();
    for (const AcDbObjectId& id : ids) {
        AcDbBlockReference* earlier = nullptr;
        if (id == placed || id.isErased() || acdbOpenObject(earlier, id, AcDb::kForRead) != Acad::eOk) continue;
        const bool replaced =
            earlier->blockTableRecord() == definition ||
            (earlier->position().isEqualTo(position) && definitionName(earlier).Left(kind.GetLength()) == kind);
        earlier->close();
        AcDbEntity* erased = nullptr;
        if (replaced && acdbOpenAcDbEntity(erased, id, AcDb::kForWrite) == Acad::eOk) {
            erased->erase();
            erased->close();
        }
    }
}

// True, with the reason, when a part of the old chart at the marker (placed there from `position` in
// the current UCS) cannot go: the new chart is not drawn over it.
bool oldChartStays(CAcadDrawing* drawing, const wchar_t* what, const CString& kind, const std::vector<CString>& rebuilt,
                   AcGePoint3d position) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, drawing->getDatabase());
    position.transformBy(ucs);
    const CString kept = kelmo_reports::oldChartKept(drawing->getDatabase(), kind, rebuilt, &position);
    if (kept.IsEmpty()) return false;
    acutPrintf(L"%s not drawn - the earlier %s %s.\n", what, what, static_cast<const wchar_t*>(kept));
    return true;
}

// Settings edited into a marker that a chart cannot take are named with what is drawn instead.
void sayFallbacks(const CMarkerBlock* marker) {
    if (!marker->getFallbacks().IsEmpty()) acutPrintf(L"%s", static_cast<const wchar_t*>(marker->getFallbacks()));
}

// Names the asset whose write failed, then the failure, which it deletes.
void failedAsset(AcDbObjectId id, CEXKelmo* failure) {
    CString block;
    AcDbBlockReference* insert = nullptr;
    if (acdbOpenObject(insert, id, AcDb::kForRead) == Acad::eOk) {
        block = definitionName(insert);
        insert->close();
    }
    acutPrintf(L"\t\terror(s) occurred whilst applying asset %s - %s.\n", static_cast<const wchar_t*>(block),
               id.handle().text().c_str());
    failure->reportToCommandLine();
    failure->deleteException();
}

bool overTotal(CEXKelmo* chain) {
    for (CEXKelmo* level = chain; level; level = level->getInnerException())
        if (dynamic_cast<CEXSegmentAreaOverTotal*>(level)) return true;
    return false;
}

// Whether the drawing has a layer of that name.
bool hasLayer(AcDbDatabase* database, const CString& name) {
    AcDbLayerTable* table = nullptr;
    if (database->getLayerTable(table, AcDb::kForRead) != Acad::eOk) return false;
    const bool found = !name.IsEmpty() && table->has(name);
    table->close();
    return found;
}

// The layers the state holds on.
std::vector<CString> layersShown(CAcadDrawingState* state) {
    std::vector<CString> shown;
    CLayers* layers = state->getLayers();
    for (int i = 0; layers && i < layers->getCount(); ++i)
        if (!layers->getAt(i)->getOff()) shown.push_back(layers->getAt(i)->getName());
    return shown;
}

// A report without categories shows nothing on the layers it leaves on: the planner hears which layers
// it turned off, to turn them on again.
void sayTurnedOff(const std::vector<CString>& shown, CAcadDrawingState* state) {
    CString off;
    for (const CString& name : shown) {
        CLayer* layer = state->getLayers() ? state->getLayers()->getAtLayer(name) : nullptr;
        if (!layer || !layer->getOff()) continue;
        off += (off.IsEmpty() ? L"" : L", ") + name;
    }
    if (!off.IsEmpty())
        acutPrintf(L"\tgraphic report has no categories - it turned off the layers %s.\n",
                   static_cast<const wchar_t*>(off));
}

// Layers to switch on that the drawing still lacks once the report is drawn are made, empty, under the
// name a layer can hold: the planner hears which.
void sayMadeLayers(CAcadDrawing* drawing, CLayers* listed) {
    for (int i = 0; i < listed->getCount(); ++i) {
        const CString name = listed->getAt(i)->getName();
        if (name.IsEmpty() || hasLayer(drawing->getDatabase(), name)) continue;
        const CString made = CLayer::validateLayerName(name);
        if (made == name)
            acutPrintf(L"\tlayer %s of the report's layers to switch on is not in the drawing - it is made, empty.\n",
                       static_cast<const wchar_t*>(name));
        else
            acutPrintf(
                L"\tlayer %s of the report's layers to switch on is not in the drawing - it is made, empty, "
                L"as %s.\n",
                static_cast<const wchar_t*>(name), static_cast<const wchar_t*>(made));
    }
}

// A space listed in two categories shows the colour of the later one that hatches it, so it is counted
// in that one alone, and the planner hears so. Which category each space counts in: the last that
// hatches it, else the last that lists it.
void countEachSpaceOnce(CCategories* categories) {
    std::map<AcDbObjectId, int> shownIn;
    for (int c = 0; c < categories->getCount(); ++c) {
        CBlocks* blocks = categories->getAt(c)->getBlocks();
        const bool hatches = categories->getAt(c)->getHatch() != nullptr;
        for (int i = 0; blocks && i < blocks->getCount(); ++i) {
            auto* block = dynamic_cast<CBlockDWG*>(blocks->getAt(i));
            if (!block || block->getObjectId().isNull()) continue;
            const auto held = shownIn.find(block->getObjectId());
            if (held == shownIn.end() || hatches || !categories->getAt(held->second)->getHatch())
                shownIn[block->getObjectId()] = c;
        }
    }
    for (int c = 0; c < categories->getCount(); ++c) {
        CCategory* category = categories->getAt(c);
        CBlocks* blocks = category->getBlocks();
        bool elsewhere = false;
        for (int i = 0; blocks && i < blocks->getCount() && !elsewhere; ++i) {
            auto* block = dynamic_cast<CBlockDWG*>(blocks->getAt(i));
            elsewhere = block && !block->getObjectId().isNull() && shownIn[block->getObjectId()] != c;
        }
        if (!elsewhere) continue;
        auto* counted = new CBlocks();
        try {
            for (int i = 0; i < blocks->getCount(); ++i) {
                auto* block = dynamic_cast<CBlockDWG*>(blocks->getAt(i));
                if (!block) continue;
                if (!block->getObjectId().isNull() && shownIn[block->getObjectId()] != c) {
                    const CString shown =
                        kelmo_reports::shownTitle(categories->getAt(shownIn[block->getObjectId()])->getTitle());
                    acutPrintf(
                        L"\tkelmo block %s - %s is in categories %s and %s: it is counted in %s, whose colour "
                        L"it shows.\n",
                        static_cast<const wchar_t*>(block->getCode()),
                        static_cast<const wchar_t*>(block->CBlock::getHandle()),
                        static_cast<const wchar_t*>(kelmo_reports::shownTitle(category->getTitle())),
                        static_cast<const wchar_t*>(shown), static_cast<const wchar_t*>(shown));
                    continue;
                }
                auto* kept = new CBlockDWG();
                counted->addBlock(kept);
                block->copyInto(kept);
            }
        } catch (...) {
            delete counted;
            throw;
        }
        delete blocks;
        category->setBlocks(counted);
    }
}

// Gives the lock back on every way out; on a failure first leaves the layers as the report meant
// them to end, so that a drawing is never left with every layer off.
class ReportLock {
public:
    ReportLock(CAcadDrawing* drawing, CAcadDrawingState* state) : m_drawing(drawing), m_state(state) {}
    ~ReportLock() {
        if (m_failed) {
            try {
                m_state->applyState(m_drawing, 0);
            } catch (CEXKelmo* failure) {
                failure->deleteException();
            } catch (...) {}
        }
        try {
            m_drawing->unlock(0);
        } catch (CEXKelmo* failure) {
            failure->deleteException();
        }
    }
    ReportLock(const ReportLock&) = delete;
    ReportLock& operator=(const ReportLock&) = delete;
    void done() { m_failed = false; }

private:
    CAcadDrawing* m_drawing;
    CAcadDrawingState* m_state;
    bool m_failed = true;
};

} // namespace

void CGraphicReport::applyToDrawing(CAcadDrawing* drawing) {
    KELMO_TRY
        CAcadDrawingState state(drawing);
        state.setLayoutName(m_plotLayout);
        state.setAllLayerLineWeights(0);
        acutPrintf(L"applying graphic report %s.\n", static_cast<const wchar_t*>(kelmo_reports::shownTitle(m_title)));
        if (drawing->lock() != Acad::eOk) return;
        ReportLock held(drawing, &state);

        const bool categories = m_categories && m_categories->getCount() > 0;
        if (m_layersOn) {
            const std::vector<CString> shown = layersShown(&state);
            state.setStateAllOff(drawing);
            for (int i = 0; i < m_layersOn->getCount(); ++i) markOn(&state, m_layersOn->getAt(i)->getName());
            if (!categories && !m_linkLines) sayTurnedOff(shown, &state);
        }
        if (m_linkLines) {
            acutPrintf(L"Applying link Lines\n");
            m_linkLines->applyToDrawing(drawing, &state);
        }
        if (m_categories) {
            acutPrintf(L"\tgraphic report contains %d categories.\n", m_categories->getCount());
            for (int i = 0; i < m_categories->getCount(); ++i) applyCategory(drawing, m_categories->getAt(i), &state);
            countEachSpaceOnce(m_categories);
        }
        if (g_hostApplication.isFullVersion() && categories) fillMarkers(drawing, &state);
        if (m_layersOn) sayMadeLayers(drawing, m_layersOn);
        state.applyState(drawing, 0);
        held.done();
    KELMO_CATCH(L"CGraphicReport::applyToDrawing")
}

void CGraphicReport::applyCategory(CAcadDrawing* drawing, CCategory* category, CAcadDrawingState* state) {
    acutPrintf(L"\tapplying category %s.\n",
               static_cast<const wchar_t*>(kelmo_reports::shownTitle(category->getTitle())));
    kelmo_reports::sayReadProblems(*category, L"\t\t");
    warnScale(category);
    warnLayer(drawing, category, state);
    AcDbDatabase* database = drawing->getDatabase();
    if (CAssets* assets = category->getAssets()) {
        // An asset's own problems are not the report's to show.
        CKelmoExceptions warnings;
        std::set<AcDbObjectId> reached; // an asset listed twice is outlined and hatched once
        for (int i = 0; i < assets->getCount(); ++i) {
            CAsset* asset = assets->getAt(i);
            AcDbObjectId id;
            if (database->getAcDbObjectId(id, false, asset->getHandle()) != Acad::eOk || id.isErased()) {
                acutPrintf(L"\t\tasset %s names nothing in the drawing - skipped.\n",
                           static_cast<const wchar_t*>(asset->getHandleAsString()));
                continue;
            }
            if (!reached.insert(id).second) continue;
            asset->setObjectId(id);
            try {
                asset->applyToDWG(drawing, &warnings);
            } catch (CEXKelmo* failure) {
                // A failure that stops the asset's write (hyperlinks too large for it, say) is said, and
                // the report goes on.
                failedAsset(id, failure);
            }
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) == Acad::eOk) {
                const CString layer = entity->layerName().c_str();
                entity->close();
                markOn(state, layer);
            }
            if (asset->getHatch()) markOn(state, asset->getHatch()->getLayer());
        }
        kelmo_model::keepAssetHatchesOnTop(drawing);
    }
    if (category->getBlocks()) applyCategoryBlocks(drawing, category, state);
}

void CGraphicReport::applyCategoryBlocks(CAcadDrawing* drawing, CCategory* category, CAcadDrawingState* state) {
    CBlocks* blocks = category->getBlocks();
    acutPrintf(L"\tcategory contains %d blocks.\n", blocks->getCount());
    AcDbDatabase* database = drawing->getDatabase();
    AcApDocument* document = drawing->getDocument();
    const int listed = blocks->getCount();
    std::set<CString> written;
    std::set<AcDbObjectId> reached;
    std::vector<bool> repeated(listed, false); // a space listed twice is coloured and counted once
    CBlockDWG* every = nullptr;                // the first "*" block: the look of every room
    for (int i = 0; i < listed; ++i) {
        auto* block = dynamic_cast<CBlockDWG*>(blocks->getAt(i));
        if (!block) continue;
        if (block->CBlock::getHandle() == L"*") {
            if (!every) every = block;
            continue;
        }
        AcDbObjectId id;
        if (database->getAcDbObjectId(id, false, block->getHandle()) != Acad::eOk || id.isErased()) {
            skipped(block, L"names nothing in the drawing");
            continue;
        }
        if (!reached.insert(id).second) {
            repeated[i] = true;
            continue;
        }
        block->setObjectId(id);
        AcDbEntity* entity = nullptr;
        // A space on a locked layer is still read, so that the line saying it was not coloured
        // names it and the legend counts its own area, as "*" does.
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk &&
            acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) {
            // Not writable here: the block writes itself, as far as it can.
            writeBlock(drawing, block);
            markBlockOn(state, block);
            written.insert(block->CBlock::getHandle());
            continue;
        }
        auto* reference = AcDbBlockReference::cast(entity);
        std::unique_ptr<CBlockDWG> read(reference && isSpaceReference(reference) ? new CBlockDWG(reference, document)
                                                                                 : nullptr);
        entity->close();
        if (!read) {
            skipped(block, L"names no space");
            continue;
        }
        read->setKeepsStoredRecord(true);
        // A report that gives no area (the file leaves out an area of 0) keeps the space's own, as
        // does one whose area no space can hold.
        bool keepArea = block->getArea() == 0.0;
        if (!block->getUnreadArea().IsEmpty()) {
            acutPrintf(
                L"\t\tthe report's area \"%s\" for kelmo block %s - %s is not a number: the space keeps its own "
                L"area.\n",
                static_cast<const wchar_t*>(block->getUnreadArea()), static_cast<const wchar_t*>(read->getCode()),
                static_cast<const wchar_t*>(read->CBlock::getHandle()));
        } else if (!keepArea && !read->recordCanHoldArea(block->getArea())) {
            acutPrintf(
                L"\t\tthe report's area for kelmo block %s - %s is refused (below 0, not a number or too large "
                L"for its AREA text): the space keeps its own area.\n",
                static_cast<const wchar_t*>(read->getCode()), static_cast<const wchar_t*>(read->CBlock::getHandle()));
            keepArea = true;
        }
        format(block, read.get(), keepArea);
        writeBlock(drawing, read.get());
        markBlockOn(state, read.get());
        written.insert(read->CBlock::getHandle());
        // In the list being walked, so later readers sum what the drawing holds.
        blocks->replaceAt(i, read.release());
    }
    if (!every && std::find(repeated.begin(), repeated.end(), true) == repeated.end()) return;

    // A fresh list: each listed space once and, for "*", every room and building of the drawing,
    // each keeping its own area, once per category.
    auto* rooms = new CBlocks();
    try {
        // The listed blocks stay first, each once; "*" itself and the gross areas go.
        for (int i = 0; i < listed; ++i) {
            auto* block = dynamic_cast<CBlockDWG*>(blocks->getAt(i));
            if (!block || repeated[i] || block->CBlock::getHandle() == L"*") continue;
            auto* kept = new CBlockDWG();
            rooms->addBlock(kept);
            block->copyInto(kept);
        }

        CBlocks drawn;
        if (every) drawn.getKelmoDWGBlocks_SS(drawing, nullptr, 1, L"f");
        for (int i = 0; i < drawn.getCount(); ++i) {
            auto* room = dynamic_cast<CBlockDWG*>(drawn.getAt(i));
            if (!room || room->getBlockType() == typeFloor || room->getBlockType() == typeSite) continue;
            if (written.count(room->CBlock::getHandle())) continue;
            auto* copy = new CBlockDWG();
            rooms->addBlock(copy);
            room->copyInto(copy);
            copy->setKeepsStoredRecord(true);
            format(every, copy, true);
            writeBlock(drawing, copy);
            markBlockOn(state, copy);
        }
    } catch (...) {
        delete rooms;
        throw;
    }
    delete blocks;
    category->setBlocks(rooms);
}

void CGraphicReport::fillMarkers(CAcadDrawing* drawing, CAcadDrawingState* state) {
    CBlocks legends;
    legends.getLegendBlock_SS(drawing);
    if (legends.getCount() > 0) {
        auto* marker = static_cast<CMarkerBlockLegend*>(legends.getAt(0));
        sayFallbacks(marker);
        AcGePoint3d position = marker->getPosition();
        if (!oldChartStays(drawing, L"legend", L"[KELMO_LEGEND]_", CLegendTable::definitionNames(this), position)) {
            const AcDbObjectId before = newestEntity(drawing);
            CLegendTable legend(drawing, marker->getTextSize(), marker->getPrecision(),
                                marker->getUnits() == 1 ? L"sq.ft." : L"sq.m.", 0, this, marker->getRotation(),
                                &position);
            replaceEarlierCharts(drawing, before);
            markChartOn(state, drawing, m_categories);
            drawing->regenDrawing();
        }
    }
    CBlocks pies;
    pies.getPieBlock_SS(drawing);
    if (pies.getCount() > 0) {
        auto* marker = static_cast<CMarkerBlockPie*>(pies.getAt(0));
        sayFallbacks(marker);
        AcGePoint3d centre = marker->getCentre();
        // A radius edited into something that is no length would pile every wedge on the centre.
        if (!(marker->getRadius() > 0.0) || !std::isfinite(marker->getRadius())) {
            const CString written = marker->getRadiusText().IsEmpty() ? CString() : L" " + marker->getRadiusText();
            acutPrintf(L"pie chart not drawn - the pie chart marker's PIERADIUS%s is not a length above 0.\n",
                       static_cast<const wchar_t*>(written));
            return;
        }
        if (oldChartStays(drawing, L"pie chart", L"[KELMO_PIECHART]_", {CPieChart::definitionName(m_title)}, centre))
            return;
        const AcDbObjectId before = newestEntity(drawing);
        try {
            CPieChart pie(drawing, this, marker->getRadius(), m_pieXYOffset, marker->getTextSize(),
                          marker->getPrecision(), marker->getUnits() == 1 ? L"sq.ft." : L"sq.m.",
                          m_pieIgnoreEmptySegments, m_pieShowLabels, m_pieShowLabelSegmentLines, marker->getRotation(),
                          &centre);
            if (!pie.isBuilt()) {
                acutPrintf(m_totalChildAreas > 0.0
                               ? L"pie chart not drawn - every category of the report is empty.\n"
                               : L"pie chart not drawn - the report's total area is 0 or missing.\n");
                return;
            }
        } catch (CEXKelmo* failure) {
            // Wedges that do not fit the total spoil only the pie: the rest of the report stands.
            if (!overTotal(failure)) throw;
            failure->reportToCommandLine();
            failure->deleteException();
            return;
        }
        replaceEarlierCharts(drawing, before);
        markChartOn(state, drawing, m_categories);
        drawing->regenDrawing();
    }
}
