#include "reports/MarkerBlock.h"

#include <cmath>

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"MarkerBlock");

using kelmo_model::HeldLock;
using kelmo_model::OpenedObject;

namespace {

AcGeMatrix3d ucsOf(AcDbDatabase* database) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, database);
    return ucs;
}

AcGeMatrix3d ucsOf(AcDbBlockReference* reference, AcApDocument* document) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, document ? document->database() : reference->database());
    return ucs;
}

} // namespace

// Values no insert has given yet: those of a fresh preferences file.
CMarkerBlock::CMarkerBlock()
    : m_units(defaultUnits), m_precision(defaultPrecision), m_textSize(defaultTextSize), m_rotation(0.0) {}

void CMarkerBlock::takePreferenceUnits() {
    CPreferences preferences;
    preferences.loadPreferences(g_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg"); // a missing file leaves metric
    m_units = preferences.getUnits();
}

double CMarkerBlock::numberIn(const CString& text) {
    double value = std::nan("");
    CUtilities::readWholeNumber(text, value);
    return value;
}

int CMarkerBlock::wholeNumberIn(const CString& text) {
    const double value = numberIn(text);
    return value == std::floor(value) && std::fabs(value) <= 1e9 ? static_cast<int>(value) : -1;
}

void CMarkerBlock::keepUsableSettings(const ReadSettings& read) {
    // Values edited into the attributes by hand get the checks the prompts give typed ones; any units
    // but 1 are metric anyway.
    if (!std::isfinite(m_textSize) || m_textSize <= 0.0 || m_textSize > textSizeMax) {
        m_textSize = defaultTextSize;
        m_fallbacks.AppendFormat(L"%s: %s %s is not a text size above 0 up to 1000000 - %s is used.\n", read.marker,
                                 read.textSizeTag, static_cast<const wchar_t*>(read.textSize),
                                 static_cast<const wchar_t*>(CUtilities::DoubleToCString(defaultTextSize, 0)));
    }
    if (m_precision < 0 || m_precision > precisionMax) {
        m_precision = defaultPrecision;
        m_fallbacks.AppendFormat(L"%s: %s %s is not a precision from 0 to 9 - %d is used.\n", read.marker,
                                 read.precisionTag, static_cast<const wchar_t*>(read.precision), defaultPrecision);
    }
    if (!std::isfinite(m_rotation)) {
        m_rotation = 0.0;
        m_fallbacks.AppendFormat(L"%s: its rotation is no angle - 0 is used.\n", read.marker);
    }
}

AcDbAttributeDefinition* CMarkerBlock::defineAttribute(AcGePoint3d position, AcGeVector3d normal, double height,
                                                       double rotation, CString tag, CString prompt,
                                                       CString defaultText, CString layer) {
    AcDbAttributeDefinition* definition = nullptr;
    try {
        definition = new AcDbAttributeDefinition();
        definition->setPosition(position);
        definition->setHeight(height);
        definition->setRotation(rotation);
        definition->setWidthFactor(1.0);
        definition->setNormal(normal);
        definition->setHorizontalMode(AcDb::kTextLeft);
        definition->setVerticalMode(AcDb::kTextBase);
        definition->setPrompt(prompt);
        definition->setTextString(defaultText);
        definition->setTag(tag);
        definition->setInvisible(false);
        definition->setVerifiable(false);
        definition->setPreset(false);
        definition->setConstant(false);
        definition->setFieldLength(defaultText.GetLength() + 1);
        definition->setLayer(layer);
        return definition;
    } catch (...) {
        delete definition;
        kelmo::reportWrapped(kelmoSourceFile, L"CMarkerBlock::defineAttribute", kelmo::catchClassLib);
        return nullptr;
    }
}

AcDbAttribute* CMarkerBlock::createAttribute(AcDbAttributeDefinition* definition, AcGeMatrix3d blockTransform) {
    try {
        return attributeFromDefinition(definition, blockTransform);
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CMarkerBlock::createAttribute", kelmo::catchClassLib);
        return nullptr;
    }
}

Acad::ErrorStatus CMarkerBlock::defineMarker(AcDbObjectId* blockId, const AcDbObjectIdArray& entityIds,
                                             const AcGePoint3d& basePoint, CAcadDrawing* drawing, const wchar_t* name,
                                             const wchar_t* layer, const AttributeRow (&rows)[5], double textSize,
                                             double rotation) {
    Acad::ErrorStatus status = drawing->lock();
    if (status != Acad::eOk) return status;
    HeldLock held(drawing);
    try {
        AcDbDatabase* database = drawing->getDatabase();
        // The record is added before the outline moves: a name already taken leaves it where it was.
        AcDbBlockTable* table = nullptr;
        status = database->getBlockTable(table, AcDb::kForWrite);
        if (status != Acad::eOk) return status;
        OpenedObject openedTable(table);
        auto* record = new AcDbBlockTableRecord();
        status = record->setName(name);
        if (status == Acad::eOk) status = table->add(*blockId, record);
        if (status != Acad::eOk) {
            delete record;
            blockId->setNull();
            return status;
        }
        OpenedObject openedRecord(record);
        record->setOrigin(AcGePoint3d::kOrigin);

        const AcGeMatrix3d move = AcGeMatrix3d::translation(AcGePoint3d::kOrigin - basePoint);
        AcDbObjectIdArray moved;
        for (const AcDbObjectId& id : entityIds) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
            entity->transformBy(move);
            entity->close();
            moved.append(id);
        }
        status = record->assumeOwnershipOf(entityIds);
        if (status != Acad::eOk) {
            const AcGeMatrix3d back = move.inverse();
            for (const AcDbObjectId& id : moved) {
                AcDbEntity* entity = nullptr;
                if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
                entity->transformBy(back);
                entity->close();
            }
            record->erase();
            blockId->setNull();
            return status;
        }

        const AcGeVector3d normal = ucsOf(drawing->getDatabase()) * AcGeVector3d::kZAxis;
        CLayer::ensureLayerExists(layer, drawing);
        for (int n = 1; n <= 5; ++n) {
            const AttributeRow& row = rows[n - 1];
            AcDbAttributeDefinition* definition =
                defineAttribute(AcGePoint3d(0, -n * textSize, 0), normal, textSize, rotation, row.tag, row.prompt,
                                row.defaultText, layer);
            if (!definition) continue;
            status = record->appendAcDbEntity(definition);
            if (status != Acad::eOk) {
                delete definition;
                continue;
            }
            definition->close();
        }
        return status;
    } catch (...) {
        // The definition reports what it reached; a failure is never taken for success.
        kelmo::reportWrapped(kelmoSourceFile, L"CMarkerBlock::defineMarker", kelmo::catchClassLib);
        return status == Acad::eOk ? Acad::eInvalidInput : status;
    }
}

Acad::ErrorStatus CMarkerBlock::insertMarker(CAcadDrawing* drawing, AcDbObjectId definitionId,
                                             const AcGePoint3d& basePoint, double rotation, const wchar_t* markerLayer,
                                             const CString& outlineLayer) {
    KELMO_TRY
        AcDbDatabase* database = drawing->getDatabase();
        auto* reference = new AcDbBlockReference();
        reference->setDatabaseDefaults(database);
        if (CLayer::ensureLayerExists(markerLayer, drawing)) {
            reference->setLayer(markerLayer);
            CLayers layers;
            layers.getDWGLayers(drawing);
            if (CLayer* layer = layers.getAtLayer(markerLayer)) {
                layer->setOff(1);
                layer->applyToDWG(drawing);
            }
        } else {
            reference->setLayer(outlineLayer);
        }
        const AcGeMatrix3d ucs = ucsOf(drawing->getDatabase());
        reference->setBlockTableRecord(definitionId);
        reference->setPosition(basePoint);
        reference->setRotation(rotation);
        reference->transformBy(ucs);
        reference->setNormal(ucs * AcGeVector3d::kZAxis);

        Acad::ErrorStatus status = appendToModelSpace(database, reference);
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
            AcDbAttribute* attribute = createAttribute(attributeDefinition, blockTransform);
            if (!attribute) continue;
            if (reference->appendAttribute(attribute) != Acad::eOk) {
                delete attribute;
                continue;
            }
            attribute->close();
        }
        return Acad::eOk;
    KELMO_CATCH(L"CMarkerBlock::insertMarker")
}

Acad::ErrorStatus CMarkerBlock::insertAround(CAcadDrawing* drawing, AcDbEntity* outline, AcGePoint3d basePoint,
                                             double rotation, const wchar_t* markerLayer, const DefineMarker& define) {
    Acad::ErrorStatus status = drawing->lock();
    if (status != Acad::eOk) {
        outline->close();
        return status;
    }
    HeldLock held(drawing);
    const CString layer = outline->layerName().c_str();
    AcDbObjectIdArray ids;
    ids.append(outline->objectId());
    outline->close();
    AcDbObjectId definitionId;
    status = define(&definitionId, ids, &basePoint);
    if (status != Acad::eOk) return status;
    return insertMarker(drawing, definitionId, basePoint, rotation, markerLayer, layer);
}

void CMarkerBlock::readMarkerReference(AcDbBlockReference* reference, AcApDocument* document) {
    readReference(reference);
    // The rotation is read off the insert's x axis in the UCS: the insert itself is never moved.
    AcGeVector3d xAxis = reference->blockTransform() * AcGeVector3d::kXAxis;
    AcGeVector3d inUcs = ucsOf(reference, document).inverse() * xAxis;
    double angle = std::atan2(inUcs.y, inUcs.x);
    if (angle < 0) angle += 2 * 3.141592653589793;
    if (angle > 2 * 3.141592653589793 - 1e-12) angle = 0.0;
    m_rotation = angle;
}

AcGePoint3d CMarkerBlock::positionInUcs(AcDbBlockReference* reference, AcApDocument* document) {
    return ucsOf(reference, document).inverse() * reference->position();
}

bool CMarkerBlock::definitionHolds(AcDbBlockReference* reference, const CString& className) {
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return false;
    kelmo_model::OpenedObject openedDefinition(definition);
    for (const AcDbObjectId& id : definition->entityIds()) {
        AcDbEntity* member = nullptr;
        if (acdbOpenAcDbEntity(member, id, AcDb::kForRead) != Acad::eOk) continue;
        bool found = !member->isErased() && CString(member->isA()->name()) == className;
        member->close();
        if (found) return true;
    }
    return false;
}

void CMarkerBlock::eachAttribute(AcDbBlockReference* reference,
                                 const std::function<void(const CString& tag, const CString& value)>& handle) {
    for (const AcDbObjectId& id : reference->attributeIds()) {
        AcDbAttribute* attribute = nullptr;
        if (acdbOpenObject(attribute, id, AcDb::kForRead) != Acad::eOk) continue;
        CString tag = attribute->tagConst();
        tag.MakeUpper();
        CString value = attribute->textStringConst();
        attribute->close();
        handle(tag, value);
    }
}
