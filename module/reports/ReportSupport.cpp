#include "reports/ReportSupport.h"

#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "model/Hatch.h"
#include "model/ModelSupport.h"

namespace kelmo_reports {

CString blockName(const CString& text) {
    CString name = text;
    CUtilities().replaceInvalidCharacters(name, L"_");
    return name;
}

AcDbObjectId appendOrThrow(AcDbBlockTableRecord* definition, AcDbEntity* entity, CAcadDrawing* drawing,
                           const wchar_t* sourceFile, const wchar_t* method, int line) {
    AcDbObjectId id;
    const Acad::ErrorStatus status = definition->appendAcDbEntity(id, entity);
    if (status != Acad::eOk) {
        delete entity;
        throw new CEXUnhandled(status, KELMO_BANNER, sourceFile, method, line, kelmo_model::drawingName(drawing),
                               nullptr);
    }
    entity->close();
    return id;
}

AcDbBlockTableRecord* emptiedDefinition(AcDbDatabase* database, const CString& name, Acad::ErrorStatus& status) {
    AcDbBlockTable* table = nullptr;
    status = database->getBlockTable(table, AcDb::kForWrite);
    if (status != Acad::eOk) return nullptr;
    kelmo_model::OpenedObject openedTable(table);
    AcDbBlockTableRecord* record = nullptr;
    if (table->getAt(name, record, AcDb::kForWrite) == Acad::eOk) {
        for (const AcDbObjectId& id : record->entityIds()) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
            if (!entity->isErased()) status = entity->erase();
            entity->close();
            if (status != Acad::eOk) {
                record->close();
                return nullptr;
            }
        }
        return record;
    }
    record = new AcDbBlockTableRecord();
    status = record->setName(name);
    if (status == Acad::eOk) status = record->setOrigin(AcGePoint3d::kOrigin);
    AcDbObjectId id;
    if (status == Acad::eOk) status = table->add(id, record);
    if (status != Acad::eOk) {
        delete record;
        return nullptr;
    }
    return record;
}

AcGeVector3d ucsNormal(AcDbDatabase* database) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, database);
    return ucs * AcGeVector3d::kZAxis;
}

AcDbHatch* hatchOf(const CHatch* look, AcDbObjectId outlineId, const AcGeVector3d& normal, Acad::ErrorStatus& status) {
    auto* hatch = new AcDbHatch();
    // The register's integers are taken as they stand, as the spaces' own hatches take them.
    hatch->setPatternAngle(static_cast<double>(look->getAngle()));
    hatch->setPatternScale(static_cast<double>(look->getScale()));
    hatch->setLayer(look->getLayer());
    hatch->setAssociative(false);
    hatch->setPattern(AcDbHatch::kPreDefined, look->getPattern());
    AcCmColor colour = look->getColour();
    colour.setColorMethod(AcCm::kByColor);
    colour.setRGB(look->getColour().red(), look->getColour().green(), look->getColour().blue());
    hatch->setColor(colour);
    hatch->setHatchStyle(AcDbHatch::kNormal);
    hatch->setNormal(normal);
    hatch->setElevation(0.0);
    AcDbObjectIdArray loop;
    loop.append(outlineId);
    status = hatch->appendLoop(AcDbHatch::kOutermost, loop);
    if (status != Acad::eOk) {
        delete hatch;
        return nullptr;
    }
    return hatch;
}

} // namespace kelmo_reports
