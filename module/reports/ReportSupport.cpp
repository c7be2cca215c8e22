#include "reports/ReportSupport.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "model/Hatch.h"
#include "model/ModelSupport.h"
#include "reports/Category.h"

namespace kelmo_reports {

CString exactText(double value) {
    if (std::isnan(value)) return L"NaN";
    if (std::isinf(value)) return value > 0 ? L"INF" : L"-INF";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return CString(std::string(buffer, result.ptr).c_str());
}

namespace {

// The longest block name the drawing holds.
constexpr int kLongestName = 255;

// Eight hexadecimal digits that tell long texts apart, the same in every run.
CString textMark(const CString& text) {
    std::uint32_t hash = 2166136261u;
    for (int i = 0; i < text.GetLength(); ++i) {
        hash ^= static_cast<std::uint32_t>(text[i]);
        hash *= 16777619u;
    }
    CString mark;
    mark.Format(L"%08X", static_cast<unsigned>(hash));
    return mark;
}

} // namespace

CString blockName(const CString& text) {
    // Too long a title is cut, and marked by the whole of it, so that two titles alike in their
    // first 246 characters still make two blocks.
    const bool cut = text.GetLength() > kLongestName;
    CString name = cut ? text.Left(kLongestName - 9) : text;
    CUtilities().replaceInvalidCharacters(name, L"_");
    // Line breaks, tabs and the back quote cannot stand in a name either.
    for (int i = 0; i < name.GetLength(); ++i)
        if (name[i] < 0x20 || name[i] == L'`') name.SetAt(i, L'_');
    if (cut) name += L"_" + textMark(text);
    return name;
}

CString shownTitle(const CString& title) {
    constexpr int longest = 250;
    return title.GetLength() > longest ? title.Left(longest) + L"..." : title;
}

void sayReadProblems(const CCategory& category, const wchar_t* indent) {
    const CStringArray& problems = category.getReadProblems();
    for (INT_PTR i = 0; i < problems.GetSize(); ++i)
        acutPrintf(L"%scategory %s: %s.\n", indent, static_cast<const wchar_t*>(shownTitle(category.getTitle())),
                   static_cast<const wchar_t*>(problems[i]));
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

CString oldChartKept(AcDbDatabase* database, const CString& kind, const std::vector<CString>& rebuilt,
                     const AcGePoint3d* at) {
    using kelmo_model::lockedLayerName;
    using kelmo_model::OpenedObject;
    std::vector<AcDbObjectId> ids;
    AcDbBlockTableRecord* modelSpace = nullptr;
    if (at && acdbOpenObject(modelSpace, database->modelSpaceId(), AcDb::kForRead) == Acad::eOk) {
        ids = modelSpace->entityIds();
        modelSpace->close();
    }
    for (const AcDbObjectId& id : ids) {
        AcDbBlockReference* insert = nullptr;
        if (id.isErased() || acdbOpenObject(insert, id, AcDb::kForRead) != Acad::eOk) continue;
        OpenedObject openedInsert(insert);
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, insert->blockTableRecord(), AcDb::kForRead) != Acad::eOk) continue;
        const CString name = definition->getName();
        definition->close();
        const bool replaced = (!rebuilt.empty() && name == rebuilt.front()) ||
                              (name.Left(kind.GetLength()) == kind && insert->position().isEqualTo(*at));
        const CString locked = replaced ? lockedLayerName(insert->layerId()) : CString();
        if (!locked.IsEmpty()) return name + L" lies on the locked layer " + locked;
    }
    for (const CString& name : rebuilt) {
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, database->blockId(static_cast<const wchar_t*>(name)), AcDb::kForRead) !=
            Acad::eOk)
            continue;
        OpenedObject openedDefinition(definition);
        for (const AcDbObjectId& id : definition->entityIds()) {
            AcDbEntity* part = nullptr;
            if (id.isErased() || acdbOpenAcDbEntity(part, id, AcDb::kForRead) != Acad::eOk) continue;
            const CString locked = lockedLayerName(part->layerId());
            part->close();
            if (!locked.IsEmpty()) return name + L" has a part on the locked layer " + locked;
        }
    }
    return CString();
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
    // A layer the drawing could not make is not set: the hatch takes the current layer, as the spaces'
    // own hatches do.
    hatch->setLayer(look->getLayer());
    hatch->setAssociative(false);
    // A pattern the host does not know fills nothing: the spaces of the category are not filled either.
    status = hatch->setPattern(AcDbHatch::kPreDefined, look->getPattern());
    if (status != Acad::eOk) {
        delete hatch;
        return nullptr;
    }
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
