// Tables saved and opened again: each row type keeps the text height and alignment the table gave it,
// a turned table stays turned, and a table block nothing names any more is not written again.
#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbTable.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace fs = std::filesystem;

namespace {

std::wstring winPath(const fs::path& p) {
    return win::nativeToWindows(p.string());
}

std::unique_ptr<AcDbDatabase> reload(AcDbDatabase& db, const std::string& name) {
    const fs::path file = dxftest::scratchDir() / name;
    EXPECT_EQ(db.saveAs(winPath(file).c_str()), Acad::eOk);
    EXPECT_EQ(dxftest::ezdxfCheck(file, file, false), "");
    auto again = std::make_unique<AcDbDatabase>(false, true);
    EXPECT_EQ(again->readDxfFile(winPath(file).c_str()), Acad::eOk);
    return again;
}

AcDbObjectId standardStyle(AcDbDatabase& db) {
    AcDbDictionary* styles = nullptr;
    AcDbObjectId id;
    EXPECT_EQ(db.getTableStyleDictionary(styles, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(styles->getAt(L"Standard", id), Acad::eOk);
    styles->close();
    return id;
}

// The first table of a block.
AcDbTable* tableIn(AcDbDatabase& db, AcDbObjectId block) {
    auto* br = AcDbBlockTableRecord::cast(db.peek(block));
    for (const AcDbObjectId& id : br ? br->entityIds() : std::vector<AcDbObjectId>())
        if (auto* t = AcDbTable::cast(db.peek(id)); t && !t->isErased()) return t;
    return nullptr;
}

// A legend-like table in the style "Standard": title, header and two data rows.
AcDbTable* legend(AcDbDatabase& db) {
    auto* t = new AcDbTable;
    EXPECT_EQ(t->setTableStyle(standardStyle(db)), Acad::eOk);
    t->setSize(4, 2);
    t->mergeCells(0, 0, 0, 1);
    t->setColumnWidth(1200);
    t->setRowHeight(150);
    t->setTextString(0, 0, L"Floor 1 use");
    t->setTextString(1, 0, L"Description");
    t->setTextString(1, 1, L"Area");
    t->setTextString(2, 0, L"Offices");
    t->setTextString(3, 0, L"Stores");
    return t;
}

TEST(DxfTablesSaved, EachRowTypeKeepsItsTextHeightAndAlignment) {
    struct Case {
        const char* what;
        void (*set)(AcDbTable*);
        double styleDataHeight = 0; // the style's own, when not 0
    };
    const Case cases[] = {
        {"every row type its own, as the legend sets them",
         [](AcDbTable* t) {
             for (AcDb::RowType type : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow}) {
                 t->setTextHeight(100, type);
                 t->setAlignment(AcDb::kMiddleCenter, type);
             }
         }},
        {"the data rows their own, the title and header the style's",
         [](AcDbTable* t) {
             t->setTextHeight(80, AcDb::kDataRow);
             t->setAlignment(AcDb::kBottomRight, AcDb::kDataRow);
         }},
        {"a cell its own height over its row type's, the last cell its own alignment",
         [](AcDbTable* t) {
             t->setTextHeight(100, AcDb::kTitleRow | AcDb::kHeaderRow | AcDb::kDataRow);
             t->setTextHeight(2, 0, 60);
             t->setAlignment(3, 1, AcDb::kTopLeft);
         }},
        {"nothing of its own: all from the style", [](AcDbTable*) {}},
        {"nothing of its own, the style's data rows changed", [](AcDbTable*) {}, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AcDbDatabase db;
        if (c.styleDataHeight != 0) {
            AcDbTableStyle* style = nullptr;
            ASSERT_EQ(acdbOpenObject(style, standardStyle(db), AcDb::kForWrite), Acad::eOk);
            style->setTextHeight(c.styleDataHeight, AcDb::kDataRow);
            style->close();
        }
        AcDbTable* made = legend(db);
        c.set(made);
        dxftest::append(db.modelSpaceId(), made);
        auto again = reload(db, "row_types.dxf");
        const AcDbTable* before = tableIn(db, db.modelSpaceId());
        const AcDbTable* after = tableIn(*again, again->modelSpaceId());
        ASSERT_NE(after, nullptr);
        EXPECT_EQ(after->tableStyle(), standardStyle(*again));
        for (AcDb::RowType type : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow}) {
            EXPECT_DOUBLE_EQ(after->textHeight(type), before->textHeight(type)) << type;
            EXPECT_EQ(after->alignment(type), before->alignment(type)) << type;
        }
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 2; ++col) {
                EXPECT_DOUBLE_EQ(after->textHeight(row, col), before->textHeight(row, col)) << row << "," << col;
                EXPECT_EQ(after->alignment(row, col), before->alignment(row, col)) << row << "," << col;
            }
        // Saved again and again, the file stays the same.
        const fs::path second = dxftest::scratchDir() / "again.dxf", third = dxftest::scratchDir() / "third.dxf";
        ASSERT_EQ(again->saveAs(winPath(second).c_str()), Acad::eOk);
        ASSERT_TRUE(dxftest::roundTripFile(second, third).saved);
        EXPECT_TRUE(dxftest::readBytes(second) == dxftest::readBytes(third));
    }
}

TEST(DxfTablesSaved, ATurnedTableStaysTurned) {
    const double quarter = std::acos(-1.0) / 2;
    struct Case {
        const char* how;
        void (*turn)(AcDbTable*, double);
    };
    const Case cases[] = {
        {"given a rotation", [](AcDbTable* t, double a) { t->setRotation(a); }},
        {"turned about its insertion point",
         [](AcDbTable* t, double a) {
             t->transformBy(AcGeMatrix3d::rotation(a, AcGeVector3d::kZAxis, t->position()));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        AcDbDatabase db;
        AcDbTable* made = legend(db);
        made->setPosition(AcGePoint3d(5000, 2000, 0));
        made->setTextHeight(100, AcDb::kTitleRow | AcDb::kHeaderRow | AcDb::kDataRow);
        c.turn(made, quarter);
        dxftest::append(db.modelSpaceId(), made);
        auto again = reload(db, "turned.dxf");
        const AcDbTable* after = tableIn(*again, again->modelSpaceId());
        ASSERT_NE(after, nullptr);
        // Drawn as before (its cells run up from the insertion point), and its extents agree.
        const AcGePoint3d corner = after->blockTransform() * AcGePoint3d(2400, -600, 0);
        EXPECT_NEAR(corner.x, 5600, 1e-6);
        EXPECT_NEAR(corner.y, 4400, 1e-6);
        AcDbExtents ext;
        ASSERT_EQ(after->getGeomExtents(ext), Acad::eOk);
        EXPECT_NEAR(ext.minPoint().x, 5000, 1e-6);
        EXPECT_NEAR(ext.maxPoint().x, 5600, 1e-6);
        EXPECT_NEAR(ext.maxPoint().y, 4400, 1e-6);
        EXPECT_DOUBLE_EQ(after->textHeight(2, 0), 100);
    }
}

TEST(DxfTablesSaved, ATableBlockNothingNamesIsNotWrittenAgain) {
    AcDbDatabase db;
    const AcDbObjectId legendBlock = dxftest::newBlock(db, L"LEGEND");
    dxftest::append(legendBlock, legend(db));
    auto again = reload(db, "legend.dxf");
    // The legend is built again in its block: the old table goes, a new one comes.
    const AcDbObjectId block = again->blockId(L"LEGEND");
    AcDbTable* old = tableIn(*again, block);
    ASSERT_NE(old, nullptr);
    AcDbObjectId oldId = old->objectId();
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, oldId, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(e->erase(), Acad::eOk);
    e->close();
    dxftest::append(block, legend(*again));
    auto third = reload(*again, "legend_again.dxf");
    std::vector<std::wstring> tableBlocks;
    auto* blocks = AcDbBlockTable::cast(third->peek(third->blockTableId()));
    for (const AcDbObjectId& id : blocks->recordIds())
        if (auto* br = AcDbBlockTableRecord::cast(third->peek(id));
            br && std::wstring(br->getName()).rfind(L"*T", 0) == 0)
            tableBlocks.push_back(br->getName());
    EXPECT_EQ(tableBlocks, std::vector<std::wstring>{L"*T1"});
    AcDbTable* kept = tableIn(*third, third->blockId(L"LEGEND"));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->blockTableRecord(), third->blockId(L"*T1"));
}

} // namespace
