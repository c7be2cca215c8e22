// The space utilities: the gross-area block of a floor made on a picked boundary, a block taken
// apart again, spaces hatched, renamed by their beginning, their labels put on the attribute layers
// and their AUX label blanked.
#include <ctime>
#include <memory>

#include "cad/AcEd.h"
#include "classlib/Afx.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "commands/CommandSpaces.h"
#include "core/Catch.h"
#include "core/Failures.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadDrawingState.h"
#include "drawing/AcadUtilities.h"
#include "drawing/Layer.h"
#include "model/BlockDWGFloor.h"
#include "model/ColourHatches.h"
#include "model/Hatch.h"
#include "model/ModelSupport.h"
#include "model/SpaceName.h"

KELMO_SOURCE_FILE(L"Brenvik");

using kelmo_model::HeldLock;
using kelmo_model::OpenedObject;

namespace {

constexpr const wchar_t* grossAreaDefinition = L"ROOM-GROSS_AREA";
constexpr const wchar_t* grossAreaName = L"GROSS AREA";

// The layer each attribute role belongs on, by swap role.
const wchar_t* const attributeLayers[] = {L"ATT-NAME", L"ATT-AREA", L"ATT-AUX"};

CString statusText(Acad::ErrorStatus status) {
    return CUtilities::IntToCString(static_cast<int>(status));
}

// The hatch the hatching commands give a space: solid yellow on "#Hatch".
CHatch* spaceHatch() {
    CHatch* hatch = new CHatch();
    hatch->setPattern(L"SOLID");
    hatch->setAngle(0);
    hatch->setScale(500);
    hatch->setLayer(L"#Hatch");
    AcCmColor yellow;
    yellow.setRGB(255, 255, 0);
    hatch->setColour(yellow);
    return hatch;
}

void printClock(std::time_t at) {
    wchar_t text[16] = {0};
    std::tm local = {};
    localtime_r(&at, &local);
    std::wcsftime(text, sizeof text / sizeof text[0], L"%H:%M:%S", &local);
    acutPrintf(L"%s\n", text);
}

// Makes the gross-area block of the boundary, open for write, with its labels at the text position.
// The boundary is brought into the world system first and goes back where it was when no block was
// made.
Acad::ErrorStatus makeGrossAreaBlock(CAcadDrawing* drawing, AcDbPolyline* polyline, const AcGePoint3d& textPosition,
                                     int units, double textSize, double textScale, double textRotation, int precision) {
    AcDbDatabase* database = drawing->getDatabase();
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, database);
    const AcDbObjectId owner = polyline->ownerId();
    polyline->transformBy(ucs.inverse());

    CAcadUtilities utilities;
    const CString areaText = CUtilities::DoubleToCString(
        utilities.calculatePolylineArea(polyline, CDrawingUnit(database), units), precision);
    const CString perimeterText = CUtilities::DoubleToCString(
        utilities.calculatePolylinePerimeter(polyline, CDrawingUnit(database), units), precision);

    std::unique_ptr<CBlockDWGFloor> block = std::make_unique<CBlockDWGFloor>();
    block->setUnits(units);
    block->setPrecision(precision);
    block->setName(grossAreaName);
    block->setArea(CUtilities::CStringToDouble(areaText));
    block->setPerimeter(CUtilities::CStringToDouble(perimeterText));
    block->setAttributes(kelmo::newSpaceAttributes(grossAreaName, areaText, units));

    Acad::ErrorStatus status = Acad::eInvalidInput;
    try {
        status = block->createBlock(drawing, polyline, &textPosition, textSize, textScale, textRotation);
    } catch (...) {
        if (polyline->ownerId() == owner) polyline->transformBy(ucs);
        throw;
    }
    // Still where it was picked: it goes back as it was.
    if (status != Acad::eOk && polyline->ownerId() == owner) polyline->transformBy(ucs);
    return status;
}

// The point the labels go to, asked for after its line; false when none was given.
bool textPositionPicked(AcGePoint3d& position) {
    acutPrintf(L"Select Name and Area Text Position:\n");
    ads_point picked = {0, 0, 0};
    if (acedGetPoint(nullptr, L"\nEnter Attribute points: ", picked) != RTNORM) return false;
    position.set(picked[0], picked[1], picked[2]);
    return true;
}

void createGrossAreaBlock(CAcadDrawing* drawing, AcDbObjectId polylineId, int units, double textSize, double textScale,
                          double textRotation, int precision) {
    KELMO_TRY
        AcGePoint3d textPosition;
        if (!textPositionPicked(textPosition)) return;

        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, polylineId, AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(entity);
        AcDbPolyline* polyline = AcDbPolyline::cast(entity);
        if (CString(entity->isA()->name()) != L"AcDbPolyline" || polyline == nullptr) {
            opened.close();
            kelmo::sayFailed(L"\nInvalid Selection\n\n");
            return;
        }
        const Acad::ErrorStatus status =
            makeGrossAreaBlock(drawing, polyline, textPosition, units, textSize, textScale, textRotation, precision);
        if (status == Acad::eOk) {
            acutPrintf(L"Block Created Successfully\n");
            return;
        }
        kelmo::sayFailed(L"Block Creation Failed - Error Code " + statusText(status) + L"\n");
    KELMO_CATCH_REPORT(L"createGrossAreaBlock", kelmo::catchClassLib)
}

// Hatches the block with a hatch of its own and writes it back; true when it got its new hatch, false
// when it was left as it was, kept the colour it had (its hatch layer locked, say) or no hatch could be
// made (no boundary, say).
bool hatchAndWrite(CAcadDrawing* drawing, CBlockDWG* block) {
    delete block->getHatch();
    block->setHatch(spaceHatch());
    const AcDbObjectId before = kelmo_model::colourHatchOf(drawing, block->getObjectId());
    if (!kelmo::writeBackKeepingRecord(drawing, block)) return false;
    const AcDbObjectId after = kelmo_model::colourHatchOf(drawing, block->getObjectId());
    return !after.isNull() && after != before;
}

// Puts the snapshot taken before the layers were opened up back on every way out.
class RestoredLayers {
public:
    RestoredLayers(CAcadDrawing* drawing, CAcadDrawingState* state) : m_drawing(drawing), m_state(state) {}
    ~RestoredLayers() {
        try {
            m_state->applyState(m_drawing, 0);
        } catch (CEXKelmo* failure) {
            failure->deleteException();
        }
    }
    RestoredLayers(const RestoredLayers&) = delete;
    RestoredLayers& operator=(const RestoredLayers&) = delete;

private:
    CAcadDrawing* m_drawing;
    CAcadDrawingState* m_state;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------

int blockDefinitionExists(CAcadDrawing* drawing, CString name) {
    int exists = 0;
    try {
        if (drawing == nullptr || drawing->getDrawingOpen() == 0) return 0;
        AcDbBlockTable* table = nullptr;
        if (drawing->getDatabase()->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return 0;
        OpenedObject openedTable(table);
        AcDbBlockTableIterator* iterator = nullptr;
        if (table->newIterator(iterator) != Acad::eOk) return 0;
        std::unique_ptr<AcDbBlockTableIterator> walk(iterator);
        for (walk->start(); !walk->done() && exists == 0; walk->step()) {
            AcDbBlockTableRecord* record = nullptr;
            if (walk->getRecord(record, AcDb::kForRead) != Acad::eOk) continue;
            const CString recordName = record->getName();
            record->close();
            // Anonymous definitions never count, and the name is matched letter for letter.
            if (!recordName.IsEmpty() && recordName[0] != L'*' && recordName == name) exists = 1;
        }
    } catch (CEXKelmo* failure) {
        failure->deleteException();
    } catch (CException* failure) {
        failure->Delete();
    } catch (...) {}
    return exists;
}

void grossAreaBlockCreate() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Create Gross Area Block");
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        if (blockDefinitionExists(drawing.get(), grossAreaDefinition)) {
            kelmo::sayFailed(L"\n\nGross Area Block Already Exists\n");
            return;
        }
        if (drawing->lock() != Acad::eOk) return;
        HeldLock held(drawing.get());
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();

        AcDbObjectId polylineId;
        if (CAcadUtilities().selectObjectId(polylineId, L"\nPlease select a polyline:\n", L"AcDbPolyline") != 0) return;
        if (!CAcadUtilities().liesInModelSpace(polylineId, L"Polyline")) return;
        AcDbPolyline* polyline = nullptr;
        const Acad::ErrorStatus status = acdbOpenObject(polyline, polylineId, AcDb::kForWrite);
        if (status == Acad::eOnLockedLayer) {
            kelmo::sayFailed(L"\nPolyline On Locked Layer - Block Creation Failed\n");
            return;
        }
        if (status != Acad::eOk) {
            kelmo::sayFailed(L"\nUnable get Polyline - Error " + statusText(status) + L" - Block Creation Failed\n");
            return;
        }
        const bool closed = polyline->isClosed();
        // The lobes of a boundary that crosses itself offset each other's area.
        const bool crossing = closed && CAcadUtilities().crossesItself(polyline, CDrawingUnit(polyline->database()));
        polyline->close();
        if (!closed) {
            kelmo::sayFailed(L"\nInvalid Selection - Polyline is not closed\n\n");
            return;
        }
        if (crossing) {
            kelmo::sayFailed(
                L"\nInvalid Selection - Polyline crosses or touches itself, so it encloses no single area\n\n");
            return;
        }
        createGrossAreaBlock(drawing.get(), polylineId, preferences->getUnits(), preferences->getTextSize(),
                             preferences->labelTextScale(), preferences->getTextRotation(),
                             preferences->getPrecision());
        KELMO_COMMAND_CATCH_LINE(L"grossAreaBlockCreate", L"\nUnhandled Error - Block Creation Failed\n")
}

void grossAreaBlockCreate2() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Create Gross Area Block");
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        if (blockDefinitionExists(drawing.get(), grossAreaDefinition)) {
            kelmo::sayFailed(L"Operation Cancelled. Gross Area Block already Exists\n");
            return;
        }
        if (drawing->lock() != Acad::eOk) return;
        HeldLock held(drawing.get());
        // The file's values only when it was read; otherwise the defaults of a fresh preferences file,
        // as this form has no values of its own.
        CPreferences preferences;
        CPreferences read;
        if (read.loadPreferences(kelmo::preferencesPath())) preferences = read;

        AcDbObjectId polylineId;
        if (CAcadUtilities().selectObjectId(polylineId, L"\nPlease select the gross area polyline:\n",
                                            L"AcDbPolyline") != 0) {
            acutPrintf(L"Gross Area Block Creation Cancelled\n");
            return;
        }
        if (!CAcadUtilities().liesInModelSpace(polylineId, L"Polyline")) return;
        AcDbPolyline* polyline = nullptr;
        if (acdbOpenObject(polyline, polylineId, AcDb::kForWrite) != Acad::eOk) {
            kelmo::sayFailed(L"\nInvalid Selection\n\n");
            return;
        }
        const bool closed = polyline->isClosed();
        polyline->close();
        if (!closed) {
            kelmo::sayFailed(L"\nPolyline Is not closed\n\n");
            return;
        }
        AcGePoint3d textPosition;
        if (!textPositionPicked(textPosition)) {
            acutPrintf(L"Gross Area Block Creation Cancelled\n");
            return;
        }
        // Open again: the drawing may have changed while the point was asked for.
        if (acdbOpenObject(polyline, polylineId, AcDb::kForWrite) != Acad::eOk) {
            kelmo::sayFailed(L"\nInvalid Selection\n\n");
            return;
        }
        OpenedObject opened(polyline);
        const Acad::ErrorStatus status =
            makeGrossAreaBlock(drawing.get(), polyline, textPosition, preferences.getUnits(), preferences.getTextSize(),
                               preferences.labelTextScale(), preferences.getTextRotation(), preferences.getPrecision());
        if (status == Acad::eOk)
            acutPrintf(L"Gross Area Block Created Successfully\n");
        else
            kelmo::sayFailed(L"Block Creation Failed\n");
        KELMO_COMMAND_CATCH_LINE(L"grossAreaBlockCreate2", L"\nUnhandled Error - Block Creation Failed\n")
}

void blockDelete() {
    KELMO_TRY
        kelmo::CommandResources resources;
        kelmo::printTitle(L"Block Delete");
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        CBlockDWG block;
        AcDbObjectId picked;
        if (CAcadUtilities().selectObjectId(picked, L"Select the Kelmo Block to delete", L"AcDbBlockReference") != 0)
            return;
        block.setObjectId(picked);
        // A block on a locked layer, or one scaled unevenly, cannot be taken apart: say so.
        if (block.deleteBlock(drawing.get()) == 0)
            kelmo::sayFailed(L"Block Delete Failed - the block is left as it was\n");
    KELMO_CATCH_REPORT(L"blockDelete", kelmo::catchClassLib)
}

void hatchAllSpaces() {
    KELMO_TRY
        kelmo::CommandResources resources;
        const std::time_t start = std::time(nullptr);
        printClock(start);
        int hatched = 0;
        {
            std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
            std::unique_ptr<CBlocks> blocks = kelmo::gatherSpaces(drawing.get());
            for (int i = 0; i < blocks->getCount(); ++i) {
                CBlockDWG* block = kelmo::spaceAt(*blocks, i);
                // A gross area keeps its place under the rooms also when its label reads otherwise.
                if (!block || block->getName() == grossAreaName || block->getBlockType() == CBlock::typeDWGFloor)
                    continue;
                if (hatchAndWrite(drawing.get(), block)) ++hatched;
            }
        }
        const std::time_t end = std::time(nullptr);
        printClock(end);
        // Whole days are not counted.
        const int seconds = static_cast<int>(static_cast<long long>(std::difftime(end, start)) % 86400);
        const double perBlock = hatched > 0 ? static_cast<double>(seconds) / hatched : 0.0;
        acutPrintf(L"%i block(s) hatched in %d seconds (%.2f s/b)\n", hatched, seconds, perBlock);
    KELMO_CATCH_REPORT(L"hatchAllSpaces", kelmo::catchClassLib)
}

void hatchSpace() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        const int hatched =
            kelmo::eachPickedSpace(drawing.get(), [&](CBlockDWG* block) { hatchAndWrite(drawing.get(), block); });
        if (hatched == 0) kelmo::sayFailed(L"\nThe selection is not a space.\n");
    KELMO_CATCH_REPORT(L"hatchSpace", kelmo::catchClassLib)
}

void kelmoFindReplaceStub() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        CAcadUtilities utilities;
        BOOL cancelled = FALSE;
        const CString find = utilities.getString(L"Enter String to Find", &cancelled);
        // A cancelled answer is no empty text: renaming every space from it would be a surprise.
        if (cancelled) return;
        const CString replacement = utilities.getString(L"Enter String to Replace", &cancelled);
        if (cancelled) return;

        std::unique_ptr<CBlocks> blocks = kelmo::gatherSpaces(drawing.get());
        int changes = 0;
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = kelmo::spaceAt(*blocks, i);
            if (!block) continue;
            const CString oldName = block->getName();
            if (oldName.Left(find.GetLength()) != find) continue;
            const CString newName = replacement + oldName.Mid(find.GetLength());
            // A name the replacement leaves as it was is no change.
            if (newName == oldName) continue;
            const CString tooLong = kelmo_model::nameTooLong(newName);
            if (!tooLong.IsEmpty()) {
                kelmo::sayFailed(oldName + L" not changed: " + tooLong + L"\n");
                continue;
            }
            if (CAttribute* name = kelmo::attributeOf(block, kelmo::attributeName)) name->setValue(newName);
            block->setName(newName);
            // A space left as it was (on a locked layer) has said so already.
            if (!kelmo::writeBackKeepingRecord(drawing.get(), block)) continue;
            ++changes;
            acutPrintf(L"%s changed to %s\n", static_cast<const wchar_t*>(oldName),
                       static_cast<const wchar_t*>(newName));
        }
        acutPrintf(L"%i blocks processed - %i changes made", blocks->getCount(), changes);
    KELMO_CATCH_REPORT(L"kelmoFindReplaceStub", kelmo::catchClassLib)
}

void checkAttributeLayers() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        if (drawing->getDrawingOpen() == 0 || drawing->lock() != Acad::eOk) return;
        HeldLock held(drawing.get());
        for (const wchar_t* layer : attributeLayers) CLayer::ensureLayerExists(layer, drawing.get());

        CAcadDrawingState before(drawing.get());
        CAcadDrawingState takeOff(drawing.get());
        // Declared before the layers are opened up, so they close again however the work ends.
        RestoredLayers restored(drawing.get(), &before);
        takeOff.setStateForTakeOff(drawing.get());

        std::unique_ptr<CBlocks> blocks = kelmo::gatherSpaces(drawing.get());
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = kelmo::spaceAt(*blocks, i);
            if (!block) continue;
            bool changed = false;
            for (int role = kelmo::attributeName; role <= kelmo::attributeAux; ++role) {
                CAttribute* attribute = kelmo::attributeOf(block, role);
                if (!attribute || attribute->getLayer() == attributeLayers[role]) continue;
                attribute->setLayer(attributeLayers[role]);
                changed = true;
            }
            if (!changed) continue;
            AcDbEntity* reference = nullptr;
            if (acdbOpenAcDbEntity(reference, block->getObjectId(), AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(reference);
            block->getAttributes()->applyToDWG(reference);
        }
    KELMO_CATCH_REPORT(L"checkAttributeLayers", kelmo::catchClassLib)
}

void blankThirdAttribute() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        std::unique_ptr<CBlocks> blocks = kelmo::gatherSpaces(drawing.get());
        int altered = 0;
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = kelmo::spaceAt(*blocks, i);
            CAttribute* aux = block ? kelmo::attributeOf(block, kelmo::attributeAux) : nullptr;
            if (!aux) continue;
            aux->setValue(L" ");
            if (kelmo::writeBackKeepingRecord(drawing.get(), block)) ++altered;
        }
        acutPrintf(L"%i block(s) altered\n", altered);
    KELMO_CATCH_REPORT(L"blankThirdAttribute", kelmo::catchClassLib)
}
