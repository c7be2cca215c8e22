// Making a space block from a boundary, and taking one apart again.
#include "model/BlockDWG.h"

#include <cmath>

#include "core/Catch.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Attributes.h"
#include "model/BlockDWGInternal.h"
#include "model/ColourHatches.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"BlockDWG");

using kelmo_model::HeldLock;
using kelmo_model::OpenedObject;
using kelmo_model::block_dwg::ensureLayer;
using kelmo_model::block_dwg::ucsMatrixOf;

namespace {

constexpr double kPi = 3.141592653589793;

// The block's draw-order table, open for read; null when it keeps none.
AcDbSortentsTable* drawOrderTable(AcDbBlockTableRecord* block) {
    AcDbDictionary* dictionary = nullptr;
    const AcDbObjectId dictionaryId = block->extensionDictionary();
    if (dictionaryId.isNull() || acdbOpenObject(dictionary, dictionaryId, AcDb::kForRead) != Acad::eOk) return nullptr;
    OpenedObject openedDictionary(dictionary);
    AcDbObject* found = nullptr;
    if (dictionary->getAt(L"ACAD_SORTENTS", found, AcDb::kForRead) != Acad::eOk) return nullptr;
    auto* table = AcDbSortentsTable::cast(found);
    if (!table) found->close();
    return table;
}

// The block's entities from the bottom up, as it draws them: by its draw-order table when it has one,
// otherwise in the order they were added. False when the block cannot be walked.
bool inDrawOrder(AcDbBlockTableRecord* block, AcDbObjectIdArray& ids) {
    AcDbBlockTableRecordIterator* iterator = nullptr;
    if (block->newIterator(iterator) != Acad::eOk) return false;
    for (iterator->start(); !iterator->done(); iterator->step()) {
        AcDbObjectId id;
        if (iterator->getEntityId(id) == Acad::eOk) ids.append(id);
    }
    delete iterator;
    AcDbSortentsTable* table = drawOrderTable(block);
    if (!table) return true;
    OpenedObject openedTable(table);
    AcDbObjectIdArray ordered;
    if (table->getFullDrawOrder(ordered) == Acad::eOk) ids = ordered;
    return true;
}

// Whether the copies of a block taken apart need the insert's place given to them in its owner's draw
// order: when the owner keeps a draw-order table, whose sort values (not the copies' new handles) say
// where entities without an entry fall, or when anything of the owner is drawn over the insert.
bool needsPlace(AcDbObjectId owner, AcDbObjectId entity) {
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, owner, AcDb::kForRead) != Acad::eOk) return false;
    OpenedObject opened(space);
    if (AcDbSortentsTable* table = drawOrderTable(space)) {
        table->close();
        return true;
    }
    AcDbObjectIdArray order;
    return inDrawOrder(space, order) && !order.isEmpty() && order.last() != entity;
}

// The copies take the reference's place in its owner's draw order, so what was drawn over the block
// still is. The owner gets a draw-order table when it has none, and the drawing honours it.
void putInPlaceOf(AcDbBlockReference* reference, const AcDbObjectIdArray& copies) {
    AcDbSortentsTable* table = CAcadUtilities().getSortentsTable(reference);
    if (!table) return;
    OpenedObject opened(table);
    if (table->moveAbove(copies, reference->objectId()) != Acad::eOk) return;
    AcDbDatabase* database = reference->database();
    if (database && (database->sortents() & 127) != 127)
        database->setSortents(static_cast<Adesk::UInt8>(database->sortents() | 127));
}

} // namespace

Acad::ErrorStatus CBlockDWG::createBlockDefinition(AcDbObjectId& definitionId, AcDbObjectIdArray* entities,
                                                   const AcGePoint3d* basePoint, double textHeight, double widthFactor,
                                                   double rotationDegrees, CAcadDrawing* drawing) {
    KELMO_TRY
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk) return status;
        HeldLock held(drawing);
        AcDbDatabase* database = drawing->getDatabase();
        const double r = rotationDegrees / 180.0 * kPi;
        const double h = textHeight;

        // The record is added before anything is moved: a name already taken leaves the drawing as it was.
        AcDbBlockTable* table = nullptr;
        status = database->getBlockTable(table, AcDb::kForWrite);
        if (status != Acad::eOk) return status;
        OpenedObject openedTable(table);
        AcDbBlockTableRecord* record = new AcDbBlockTableRecord();
        status = record->setName(m_blockIdentifier);
        if (status == Acad::eOk) status = table->add(definitionId, record);
        if (status != Acad::eOk) {
            delete record;
            definitionId.setNull();
            return status;
        }
        OpenedObject openedRecord(record);
        record->setOrigin(AcGePoint3d::kOrigin);

        const AcGeMatrix3d move = AcGeMatrix3d::translation(AcGePoint3d::kOrigin - *basePoint);
        AcDbObjectIdArray moved;
        for (const AcDbObjectId& id : *entities) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
            entity->transformBy(move);
            entity->close();
            moved.append(id);
        }
        status = record->assumeOwnershipOf(*entities);
        if (status != Acad::eOk) {
            // Back where they were, and no half-made record left behind.
            const AcGeMatrix3d back = move.inverse();
            for (const AcDbObjectId& id : moved) {
                AcDbEntity* entity = nullptr;
                if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
                entity->transformBy(back);
                entity->close();
            }
            record->erase();
            definitionId.setNull();
            return status;
        }

        AcGeVector3d normal = ucsMatrixOf(database) * AcGeVector3d::kZAxis;
        AcDbAttributeDefinition* area = new AcDbAttributeDefinition();
        area->setDatabaseDefaults(database);
        area->setPosition(AcGePoint3d::kOrigin);
        area->setHeight(h);
        area->setRotation(r);
        area->setWidthFactor(widthFactor);
        area->setNormal(normal);
        area->setHorizontalMode(AcDb::kTextLeft);
        area->setVerticalMode(AcDb::kTextBase);
        area->setInvisible(false);
        area->setVerifiable(false);
        area->setPreset(false);
        area->setConstant(false);
        area->setFieldLength(25);
        area->setTag(L"AREA");
        area->setPrompt(L"Enter Area");
        area->setTextString(L"DEFAULT AREA");
        CString layer = ensureLayer(drawing, L"ATT-AREA", nullptr);
        if (!layer.IsEmpty()) area->setLayer(layer);

        struct Copy {
            const wchar_t* tag;
            const wchar_t* prompt;
            const wchar_t* text;
            const wchar_t* layer;
            AcGePoint3d position;
        };
        const Copy copies[] = {
            {L"NAME", L"Enter Name", L"DEFAULT NAME", L"ATT-NAME",
             AcGePoint3d(1.5 * h * std::sin(r), -1.5 * h * std::cos(r), 0)},
            {L"AUX", L"Enter Auxillary Value", L"DEFAULT AUX", L"ATT-AUX",
             AcGePoint3d(-1.5 * h * std::sin(r), 1.5 * h * std::cos(r), 0)},
        };
        AcDbAttributeDefinition* definitions[3] = {area, nullptr, nullptr};
        for (int i = 0; i < 2; ++i) {
            AcDbAttributeDefinition* copy = static_cast<AcDbAttributeDefinition*>(area->cloneData());
            copy->setPosition(copies[i].position);
            copy->setPrompt(copies[i].prompt);
            copy->setTextString(copies[i].text);
            copy->setTag(copies[i].tag);
            CString copyLayer = ensureLayer(drawing, copies[i].layer, nullptr);
            if (!copyLayer.IsEmpty()) copy->setLayer(copyLayer);
            definitions[i + 1] = copy;
        }
        for (int i = 0; i < 3; ++i) {
            status = record->appendAcDbEntity(definitions[i]);
            if (status != Acad::eOk) {
                for (int j = i; j < 3; ++j) delete definitions[j];
                return status;
            }
            definitions[i]->close();
        }
        return Acad::eOk;
    KELMO_CATCH(L"CBlockDWG::createBlockDefinition")
}

Acad::ErrorStatus CBlockDWG::createBlock(CAcadDrawing* drawing, AcDbEntity* boundary, const AcGePoint3d* insertionPoint,
                                         double textHeight, double widthFactor, double rotationDegrees) {
    KELMO_TRY
        AcDbObjectIdArray ids(0, 8);
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk) return status;
        HeldLock held(drawing);
        AcDbDatabase* database = drawing->getDatabase();
        CString layer = boundary->layerName().c_str();
        ids.append(boundary->objectId());
        AcDbObjectId definitionId;
        status = createBlockDefinition(definitionId, &ids, insertionPoint, textHeight, widthFactor, rotationDegrees,
                                       drawing);
        if (status != Acad::eOk) return status;

        const AcGeMatrix3d ucs = ucsMatrixOf(database);
        AcDbBlockReference* reference = new AcDbBlockReference();
        reference->setDatabaseDefaults(database);
        reference->setLayer(layer);
        reference->setBlockTableRecord(definitionId);
        reference->setPosition(*insertionPoint);
        reference->setRotation(0.0);
        reference->transformBy(ucs);
        reference->setNormal(ucs * AcGeVector3d::kZAxis);

        status = appendToModelSpace(database, reference);
        if (status != Acad::eOk) return status;
        OpenedObject openedReference(reference);

        AcDbBlockTableRecord* definition = nullptr;
        status = acdbOpenObject(definition, definitionId, AcDb::kForRead);
        if (status != Acad::eOk) return status;
        OpenedObject openedDefinition(definition);
        const AcGeMatrix3d blockTransform = reference->blockTransform();
        for (const AcDbObjectId& id : definition->entityIds()) {
            AcDbAttributeDefinition* attributeDefinition = nullptr;
            if (acdbOpenObject(attributeDefinition, id, AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject openedAttributeDefinition(attributeDefinition);
            if (attributeDefinition->isConstant()) continue;
            AcDbAttribute* attribute = attributeFromDefinition(attributeDefinition, blockTransform);
            CString tag = attributeDefinition->tagConst();
            int role = tag == L"NAME" ? 0 : tag == L"AREA" ? 1 : tag == L"AUX" ? 2 : -1;
            if (m_attributes && role >= 0) {
                CAttribute* value = m_attributes->getAtAttribute(role);
                if (value) attribute->setTextString(value->getValue());
            }
            status = reference->appendAttribute(attribute);
            if (status != Acad::eOk) {
                delete attribute;
                return status;
            }
            attribute->close();
        }
        writeXData(reference);
        return Acad::eOk;
    KELMO_CATCH(L"CBlockDWG::createBlock")
}

Acad::ErrorStatus CBlockDWG::appendToModelSpace(AcDbDatabase* database, AcDbBlockReference* reference) {
    AcDbBlockTable* table = nullptr;
    Acad::ErrorStatus status = database->getBlockTable(table, AcDb::kForRead);
    AcDbBlockTableRecord* modelSpace = nullptr;
    if (status == Acad::eOk) {
        status = table->getAt(ACDB_MODEL_SPACE, modelSpace, AcDb::kForWrite);
        table->close();
    }
    if (status == Acad::eOk) {
        status = modelSpace->appendAcDbEntity(reference);
        modelSpace->close();
    }
    if (status != Acad::eOk) delete reference;
    return status;
}

AcDbAttribute* CBlockDWG::attributeFromDefinition(const AcDbAttributeDefinition* definition,
                                                  const AcGeMatrix3d& blockTransform) {
    auto* attribute = new AcDbAttribute();
    try {
        attribute->setPropertiesFrom(definition);
        attribute->setInvisible(definition->isInvisible());
        attribute->setPosition(definition->position());
        attribute->setHeight(definition->height());
        attribute->setHorizontalMode(AcDb::kTextLeft);
        attribute->setRotation(definition->rotation());
        attribute->setWidthFactor(definition->widthFactor());
        attribute->setNormal(definition->normal());
        attribute->setTag(definition->tagConst());
        attribute->setFieldLength(definition->fieldLength());
        attribute->setTextString(definition->textStringConst());
        attribute->transformBy(blockTransform);
        return attribute;
    } catch (...) {
        delete attribute;
        throw;
    }
}

int CBlockDWG::deleteBlock(CAcadDrawing* drawing) {
    KELMO_TRY
        if (drawing->lock() != Acad::eOk) return 0;
        HeldLock held(drawing);
        AcDbDatabase* database = drawing->getDatabase();
        AcDbBlockReference* reference = nullptr;
        if (acdbOpenObject(reference, m_objectId, AcDb::kForWrite) != Acad::eOk) return 0;
        OpenedObject openedReference(reference);
        // A skewed or unevenly scaled boundary could not come back as a polyline.
        const AcGeMatrix3d blockTransform = reference->blockTransform();
        if (!blockTransform.isUniScaledOrtho()) return 0;
        // Its colour hatch goes with it: one on a locked layer cannot, and would colour a floor where no
        // space is, so the space stays.
        const CString locked = kelmo_model::lockedColourHatchLayer(drawing, m_objectId);
        if (!locked.IsEmpty()) {
            acutPrintf(L"\nSpace %s not deleted: its colour hatch lies on the locked layer %s\n",
                       static_cast<const wchar_t*>(CBlockDWG(reference, drawing->getDocument()).getName()),
                       static_cast<const wchar_t*>(locked));
            return 0;
        }
        const AcDbObjectId owner = reference->ownerId();
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForWrite) != Acad::eOk) return 0;
        OpenedObject openedDefinition(definition);

        // Everything the definition draws comes back, its attribute definitions not. The copies are made
        // in the order the block draws its entities, so they lie on one another as they did in the block.
        AcDbObjectIdArray drawn;
        if (!inDrawOrder(definition, drawn)) return 0;
        AcDbObjectIdArray ids;
        for (const AcDbObjectId& id : drawn) {
            AcDbObject* peeked = nullptr;
            if (acdbOpenObject(peeked, id, AcDb::kForRead) != Acad::eOk) continue;
            bool attributeDefinition = AcDbAttributeDefinition::cast(peeked) != nullptr;
            peeked->close();
            if (!attributeDefinition) ids.append(id);
        }

        const bool placed = needsPlace(owner, m_objectId);
        AcDbIdMapping map;
        if (!ids.isEmpty()) {
            if (database->deepCloneObjects(ids, owner, map) != Acad::eOk) return 0;
        }
        AcDbObjectIdArray clones;
        for (const AcDbIdPair& pair : map.pairs()) {
            if (pair.isCloned() && pair.isPrimary()) clones.append(pair.value());
        }
        bool failed = false;
        for (const AcDbObjectId& id : clones) {
            AcDbEntity* clone = nullptr;
            if (acdbOpenAcDbEntity(clone, id, AcDb::kForWrite) != Acad::eOk) {
                failed = true;
                break;
            }
            clone->transformBy(blockTransform);
            clone->close();
        }
        if (failed) {
            // Half a block in the drawing is worse than none: the copies go again.
            for (const AcDbObjectId& id : clones) {
                AcDbObject* clone = nullptr;
                if (acdbOpenObject(clone, id, AcDb::kForWrite) != Acad::eOk) continue;
                clone->erase();
                clone->close();
            }
            return 0;
        }
        if (placed && !clones.isEmpty()) putInPlaceOf(reference, clones);
        reference->erase();
        openedReference.close();
        // Its colour would stay on a floor where no space is, over any space made there again.
        kelmo_model::eraseColourHatch(drawing, m_objectId);
        deleteBlockDefinition(drawing, definition);
        return 1;
    KELMO_CATCH(L"CBlockDWG::deleteBlock")
}

void CBlockDWG::deleteBlockDefinition(CAcadDrawing*, AcDbBlockTableRecord* definition) {
    KELMO_TRY
        if (!definition) return;
        // Any insert anywhere, in model space, a layout or another block, keeps the definition.
        AcDbObjectIdArray references;
        if (definition->getBlockReferenceIds(references) != Acad::eOk) return;
        if (references.length() < 1) definition->erase();
    KELMO_CATCH(L"CBlockDWG::deleteBlockDefinition")
}
