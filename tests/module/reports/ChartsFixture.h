#pragma once
// The space blocks' host drawing with a working drawing around it, reports built in memory from categories of
// blocks with given areas, and the contents of block definitions read back.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ReportTestSupport.h"
#include "cad/AcDb.h"
#include "drawing/AcadDrawing.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"
#include "module/model/SpaceBlockFixture.h"

namespace reportstest {

struct CategorySpec {
    const wchar_t* title;
    const wchar_t* pattern; // null: no hatch
    int scale;
    int red, green, blue;
    const wchar_t* layer;
    std::vector<double> areas; // empty: no block list
};

class ChartsFixture : public modeltest::SpaceBlockFixture {
protected:
    static std::unique_ptr<CGraphicReport> report(const wchar_t* title, double total,
                                                  const std::vector<CategorySpec>& rows, bool withList = true) {
        auto made = std::make_unique<CGraphicReport>();
        made->setTitle(title);
        made->setTotalChildAreas(total);
        if (!withList) return made;
        made->setCategories(new CCategories());
        for (const CategorySpec& row : rows) {
            auto* category = new CCategory();
            category->setTitle(row.title);
            if (row.pattern) {
                auto* hatch = new CHatch();
                hatch->setPattern(row.pattern);
                hatch->setScale(row.scale);
                AcCmColor colour;
                colour.setColorMethod(AcCm::kByColor);
                colour.setRGB(static_cast<Adesk::UInt8>(row.red), static_cast<Adesk::UInt8>(row.green),
                              static_cast<Adesk::UInt8>(row.blue));
                hatch->setColour(colour);
                hatch->setLayer(row.layer);
                category->setHatch(hatch);
            }
            if (!row.areas.empty()) {
                category->setBlocks(new CBlocks());
                for (double area : row.areas) {
                    auto* block = new CBlockDWG();
                    block->setArea(area);
                    category->getBlocks()->addBlock(block);
                }
            }
            if (!made->getCategories()->add(category)) delete category;
        }
        return made;
    }

    // Runs the call with the drawing locked, as the report road does.
    template <class F>
    void locked(F&& call) {
        ASSERT_EQ(drawing->lock(), Acad::eOk);
        call();
        drawing->unlock(0);
    }

    // The live entities of a block definition, opened for read (close them with closeAll).
    std::vector<AcDbEntity*> contents(const std::wstring& name) {
        std::vector<AcDbEntity*> entities;
        AcDbObjectId id = db()->blockId(name);
        if (id.isNull()) return entities;
        AcDbBlockTableRecord* record = nullptr;
        if (acdbOpenObject(record, id, AcDb::kForRead) != Acad::eOk) return entities;
        for (const AcDbObjectId& member : record->entityIds()) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, member, AcDb::kForRead) != Acad::eOk) continue;
            if (entity->isErased()) {
                entity->close();
                continue;
            }
            entities.push_back(entity);
        }
        record->close();
        return entities;
    }
    // Where each model-space insert of the definition stands, with its rotation.
    std::vector<std::pair<AcGePoint3d, double>> insertsOf(AcDbObjectId definition) {
        std::vector<std::pair<AcGePoint3d, double>> found;
        AcDbBlockTableRecord* modelSpace = open<AcDbBlockTableRecord>(db()->modelSpaceId());
        if (!modelSpace) return found;
        for (const AcDbObjectId& id : modelSpace->entityIds()) {
            AcDbBlockReference* reference = nullptr;
            if (acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
            if (reference->blockTableRecord() == definition)
                found.emplace_back(reference->position(), reference->rotation());
            reference->close();
        }
        modelSpace->close();
        return found;
    }
    static void closeAll(std::vector<AcDbEntity*>& entities) {
        for (AcDbEntity* entity : entities) entity->close();
        entities.clear();
    }
    template <class T>
    static std::vector<T*> only(const std::vector<AcDbEntity*>& entities) {
        std::vector<T*> found;
        for (AcDbEntity* entity : entities)
            if (T* cast = T::cast(entity)) found.push_back(cast);
        return found;
    }

public:
    // "x,y b" per vertex, rounded to a thousandth.
    static std::string vertices(const AcDbPolyline* polyline) {
        std::string text;
        for (unsigned i = 0; i < polyline->numVerts(); ++i) {
            AcGePoint3d at;
            polyline->getPointAt(i, at);
            double bulge = 0;
            polyline->getBulgeAt(i, bulge);
            text += (i ? ";" : "") + number(at.x) + "," + number(at.y) + " " + number(bulge);
        }
        return text;
    }
    static std::string number(double value) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3f", std::fabs(value) < 5e-4 ? 0.0 : value);
        return buffer;
    }
    static std::string point(const AcGePoint3d& at) { return number(at.x) + "," + number(at.y); }
};

} // namespace reportstest
