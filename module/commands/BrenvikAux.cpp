// "maux": gives every space block that lacks it the AUX label, in its definition and in its
// reference, and stacks NAME above AREA and AUX below it, straight in the drawing database.
#include <cmath>
#include <memory>

#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "commands/CommandSpaces.h"
#include "core/Catch.h"
#include "core/Failures.h"
#include "core/Globals.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layer.h"
#include "model/BlockDWG.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"Brenvik");

using kelmo_model::HeldLock;
using kelmo_model::OpenedObject;

namespace {

constexpr const wchar_t* auxLayer = L"ATT-AUX";

// The role of a label by its tag, matched letter for letter: "aux" is no AUX.
int roleOf(const wchar_t* tag) {
    const CString text = tag;
    return text == L"NAME"   ? kelmo::attributeName
           : text == L"AREA" ? kelmo::attributeArea
           : text == L"AUX"  ? kelmo::attributeAux
                             : -1;
}

// The NAME, AREA and AUX labels found, each held open until placed. A second label of a role
// takes the place of the first, which is closed.
template <class Text>
class Labels {
public:
    void take(int role, Text* text) {
        m_open[role].reset(text);
        m_text[role] = text;
    }
    Text* at(int role) const { return m_text[role]; }
    void close(int role) {
        m_open[role].close();
        m_text[role] = nullptr;
    }

private:
    Text* m_text[3] = {nullptr, nullptr, nullptr};
    OpenedObject m_open[3];
};

// How the AREA label stands; NAME goes one and a half text heights above it and AUX as far below,
// square to the text.
struct AreaPlacement {
    explicit AreaPlacement(const AcDbText* area)
        : normal(area->normal()),
          position(area->position()),
          alignment(area->alignmentPoint()),
          rotation(area->rotation()),
          widthFactor(area->widthFactor()),
          height(area->height()),
          horizontal(area->horizontalMode()),
          vertical(area->verticalMode()),
          up(-std::sin(rotation) * height * 1.5, std::cos(rotation) * height * 1.5, 0.0) {
        // The text's own y axis lies in its plane: one turned over (an extrusion other than +Z) has it
        // the other way round in the world.
        if (normal.x != 0.0 || normal.y != 0.0 || normal.z != 1.0) up = AcGeMatrix3d::planeToWorld(normal) * up;
    }

    AcGePoint3d above() const { return AcGePoint3d(position.x + up.x, position.y + up.y, position.z + up.z); }
    AcGePoint3d below() const { return AcGePoint3d(position.x - up.x, position.y - up.y, position.z - up.z); }

    // Moves the label to the point with the AREA label's size and angle; a label aligned by its
    // alignment point takes that point along.
    void place(AcDbText* text, const AcGePoint3d& to) const {
        const AcGeVector3d shift = to - text->position();
        text->setRotation(rotation);
        text->setWidthFactor(widthFactor);
        text->setHeight(height);
        text->setPosition(to);
        if (!text->isDefaultAlignment()) text->setAlignmentPoint(text->alignmentPoint() + shift);
    }

    // A new label below AREA, set as AREA is.
    void placeNew(AcDbText* text) const {
        text->setNormal(normal);
        text->setHeight(height);
        text->setRotation(rotation);
        text->setWidthFactor(widthFactor);
        text->setPosition(below());
        if (!text->isDefaultAlignment()) text->setAlignmentPoint(alignment + (below() - position));
    }

    AcGeVector3d normal;
    AcGePoint3d position;
    AcGePoint3d alignment;
    double rotation;
    double widthFactor;
    double height;
    AcDb::TextHorzMode horizontal;
    AcDb::TextVertMode vertical;
    AcGeVector3d up; // a line and a half up the text
};

void turnOnKelmoLayers(CAcadDrawing* drawing) {
    KELMO_TRY
        AcDbLayerTable* table = nullptr;
        if (drawing->getDatabase()->getLayerTable(table, AcDb::kForRead) != Acad::eOk) return;
        OpenedObject openedTable(table);
        AcDbLayerTableIterator* iterator = nullptr;
        if (table->newIterator(iterator) != Acad::eOk) return;
        std::unique_ptr<AcDbLayerTableIterator> walk(iterator);
        for (walk->start(); !walk->done(); walk->step()) {
            AcDbLayerTableRecord* record = nullptr;
            if (walk->getRecord(record, AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject openedRecord(record);
            CString name = record->getName();
            name.MakeUpper();
            if (name == L"ATT-NAME" || name == L"ATT-AREA" || name == auxLayer) record->setIsOff(false);
        }
    KELMO_CATCH_ALSO(L"turnOnKelmoLayers", kelmo::catchClassLib)
}

void iterateThroughKelmoBlockDefinition(AcGeMatrix3d, CBlockDWG*, AcDbBlockTableRecord* definition) {
    KELMO_TRY
        Labels<AcDbAttributeDefinition> labels;
        AcDbBlockTableRecordIterator* iterator = nullptr;
        if (definition->newIterator(iterator) != Acad::eOk) return;
        std::unique_ptr<AcDbBlockTableRecordIterator> walk(iterator);
        for (walk->start(); !walk->done(); walk->step()) {
            AcDbEntity* entity = nullptr;
            if (walk->getEntity(entity, AcDb::kForWrite) != Acad::eOk) continue;
            AcDbAttributeDefinition* label = AcDbAttributeDefinition::cast(entity);
            const int role = label ? roleOf(label->tagConst()) : -1;
            if (role < 0) {
                entity->close();
                continue;
            }
            labels.take(role, label);
        }
        walk.reset();

        // Without AREA there is nothing to stack the labels on: the definition stays as it is.
        AcDbAttributeDefinition* area = labels.at(kelmo::attributeArea);
        if (!area) return;
        area->setHorizontalMode(AcDb::kTextLeft);
        const AreaPlacement placement(area);
        labels.close(kelmo::attributeArea);

        if (AcDbAttributeDefinition* name = labels.at(kelmo::attributeName)) {
            name->setHorizontalMode(AcDb::kTextLeft);
            placement.place(name, placement.above());
            labels.close(kelmo::attributeName);
        }
        if (AcDbAttributeDefinition* aux = labels.at(kelmo::attributeAux)) {
            placement.place(aux, placement.below());
            labels.close(kelmo::attributeAux);
            return;
        }
        std::unique_ptr<AcDbAttributeDefinition> aux = std::make_unique<AcDbAttributeDefinition>();
        aux->setDatabaseDefaults(definition->database());
        aux->setHorizontalMode(AcDb::kTextLeft);
        aux->setVerticalMode(placement.vertical);
        placement.placeNew(aux.get());
        aux->setPrompt(L"Enter Auxillary");
        aux->setTextString(L"default aux");
        aux->setTag(L"AUX");
        aux->setInvisible(false);
        aux->setVerifiable(false);
        aux->setPreset(false);
        aux->setConstant(false);
        aux->setFieldLength(25);
        aux->setLayer(auxLayer, true);
        if (definition->appendAcDbEntity(aux.get()) != Acad::eOk) return;
        aux.release()->close();
    KELMO_CATCH_ALSO(L"iterateThroughKelmoBlockDefinition", kelmo::catchClassLib)
}

void iterateThroughKelmoBlockReference(AcGeMatrix3d, CBlockDWG*, AcDbBlockReference* reference) {
    KELMO_TRY
        Labels<AcDbAttribute> labels;
        {
            std::unique_ptr<AcDbObjectIterator> walk(reference->attributeIterator());
            for (walk->start(); !walk->done(); walk->step()) {
                AcDbAttribute* label = nullptr;
                if (acdbOpenObject(label, walk->objectId(), AcDb::kForWrite) != Acad::eOk) continue;
                const int role = roleOf(label->tagConst());
                if (role < 0) {
                    label->close();
                    continue;
                }
                labels.take(role, label);
            }
        }

        AcDbAttribute* area = labels.at(kelmo::attributeArea);
        if (!area) return;
        const AreaPlacement placement(area);
        labels.close(kelmo::attributeArea);

        if (AcDbAttribute* name = labels.at(kelmo::attributeName)) {
            placement.place(name, placement.above());
            labels.close(kelmo::attributeName);
        }
        if (AcDbAttribute* aux = labels.at(kelmo::attributeAux)) {
            placement.place(aux, placement.below());
            labels.close(kelmo::attributeAux);
            return;
        }
        std::unique_ptr<AcDbAttribute> aux = std::make_unique<AcDbAttribute>();
        aux->setDatabaseDefaults(reference->database());
        aux->setHorizontalMode(placement.horizontal);
        aux->setVerticalMode(placement.vertical);
        placement.placeNew(aux.get());
        aux->setTextString(L" ");
        aux->setTag(L"AUX");
        aux->setInvisible(false);
        aux->setLayer(auxLayer, true);
        if (reference->appendAttribute(aux.get()) != Acad::eOk) return;
        aux.release()->close();
    KELMO_CATCH_ALSO(L"iterateThroughKelmoBlockReference", kelmo::catchClassLib)
}

// A label on a locked layer can be neither moved nor opened, and one that cannot be opened would be taken
// for missing and made a second time: such a room is left whole, and the command line says why.
bool labelLocked(CBlockDWG* block, AcDbBlockReference* reference) {
    std::unique_ptr<AcDbObjectIterator> walk(reference->attributeIterator());
    for (walk->start(); !walk->done(); walk->step()) {
        AcDbAttribute* label = nullptr;
        if (acdbOpenObject(label, walk->objectId(), AcDb::kForRead) != Acad::eOk) continue;
        OpenedObject opened(label);
        const CString locked =
            roleOf(label->tagConst()) < 0 ? CString() : kelmo_model::lockedLayerName(label->layerId());
        if (locked.IsEmpty()) continue;
        kelmo::sayFailed(L"\nSpace " + block->getName() + L" not updated: its " + CString(label->tagConst()) +
                         L" label lies on the locked layer " + locked + L"\n");
        return true;
    }
    return false;
}

} // namespace

void kelmoAuxilarator() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, drawing->getDatabase());
        if (drawing->getDrawingOpen() == 0 || drawing->lock() != Acad::eOk) return;
        HeldLock held(drawing.get());
        CLayer::ensureLayerExists(auxLayer, drawing.get());
        turnOnKelmoLayers(drawing.get());

        std::unique_ptr<CBlocks> blocks = kelmo::gatherSpaces(drawing.get());
        for (int i = 0; i < blocks->getCount(); ++i) {
            CBlockDWG* block = kelmo::spaceAt(*blocks, i);
            if (!block) continue;
            AcDbBlockReference* reference = nullptr;
            const Acad::ErrorStatus status = acdbOpenObject(reference, block->getObjectId(), AcDb::kForWrite);
            if (status == Acad::eOnLockedLayer) block->reportLockedReference(drawing->getDocument());
            if (status != Acad::eOk) continue;
            OpenedObject openedReference(reference);
            if (labelLocked(block, reference)) continue;
            AcDbBlockTableRecord* definition = nullptr;
            if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForWrite) == Acad::eOk) {
                OpenedObject openedDefinition(definition);
                iterateThroughKelmoBlockDefinition(ucs, block, definition);
            }
            iterateThroughKelmoBlockReference(ucs, block, reference);
        }
        drawing->regenDrawing();
    KELMO_CATCH_REPORT(L"kelmoAuxilarator", kelmo::catchClassLib)
}
