// The legend table: its rows, column widths and swatches, built from reports with several categories.
#include "ChartsFixture.h"
#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"
#include "reports/LegendTable.h"

namespace reportstest {
namespace {

using Legend = ChartsFixture;

const std::vector<CategorySpec> categories = {
    {L"Offices", L"ANSI31", 1, 255, 128, 0, L"HATCH-OFFICES", {1000.0, 234.5}},
    {L"Stores", L"SOLID", 1, 0, 0, 255, L"HATCH-STORES", {}},
    {L"Open plan and meeting rooms\\north", L"ANSI31", 2, 0, 160, 0, L"HATCH-OPEN", {60.25}},
};

struct Row {
    std::wstring description, area;
    bool swatch;
};

// The rows of the legend definition's one table, after the title and header.
std::vector<Row> dataRows(const AcDbTable* table) {
    std::vector<Row> rows;
    for (int row = 2; row < static_cast<int>(table->numRows()); ++row)
        rows.push_back({table->cellText(row, 0), table->cellText(row, 2), !table->blockTableRecordId(row, 1).isNull()});
    return rows;
}

TEST_F(Legend, ColumnsRowsAndTextFollowTheTextSize) {
    auto made = report(L"Floor 3", 0.0, categories);
    locked([&] { CLegendTable(drawing.get(), 100.0, 2, L"sq.m.", 0, made.get(), 0.0, nullptr); });
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_LEGEND]_Floor 3");
    ASSERT_EQ(entities.size(), 1u);
    auto* table = AcDbTable::cast(entities[0]);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->position().isEqualTo(AcGePoint3d::kOrigin));
    ASSERT_EQ(table->numRows(), 5u);
    ASSERT_EQ(table->numColumns(), 3u);
    EXPECT_EQ(table->cellText(0, 0), L"Floor 3");
    EXPECT_TRUE(table->isMergedCell(0, 1));
    EXPECT_EQ(table->cellText(1, 0), L"Description");
    EXPECT_EQ(table->cellText(1, 1), L"Hatch");
    EXPECT_EQ(table->cellText(1, 2), L"Area sq.m.");
    // Column 0 from the long title (33 characters, its backslash doubled: 34, plus 1); column 1 from
    // "Hatch"; column 2 from the header, longer than any area.
    EXPECT_DOUBLE_EQ(table->columnWidth(0), 3500.0);
    EXPECT_DOUBLE_EQ(table->columnWidth(1), 600.0);
    EXPECT_DOUBLE_EQ(table->columnWidth(2), 1100.0);
    for (int row = 0; row < 5; ++row) EXPECT_DOUBLE_EQ(table->rowHeight(row), 150.0) << row;
    for (AcDb::RowType type : {AcDb::kTitleRow, AcDb::kHeaderRow, AcDb::kDataRow}) {
        EXPECT_DOUBLE_EQ(table->textHeight(type), 100.0) << type;
        EXPECT_EQ(table->alignment(type), AcDb::kMiddleCenter) << type;
    }
    const std::vector<Row> rows = dataRows(table);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].description, L"Offices");
    EXPECT_EQ(rows[0].area, L"1234.50");
    EXPECT_EQ(rows[1].description, L"Stores");
    EXPECT_EQ(rows[1].area, L"0.00");
    EXPECT_EQ(rows[2].description, L"Open plan and meeting rooms\\\\north");
    EXPECT_EQ(table->cellDisplayText(4, 0), L"Open plan and meeting rooms\\north");
    EXPECT_EQ(rows[2].area, L"60.25");
    for (const Row& row : rows) EXPECT_TRUE(row.swatch);
    EXPECT_EQ(table->blockTableRecordId(2, 1), db()->blockId(L"[KELMO_LEGEND_HATCH]_Floor 3_Offices"));
    EXPECT_FALSE(table->isAutoScale(2, 1));
    closeAll(entities);

    // A swatch: the rectangle 3t by 2t in the category's colour and layer, and its hatch.
    entities = contents(L"[KELMO_LEGEND_HATCH]_Floor 3_Offices");
    ASSERT_EQ(entities.size(), 2u);
    auto* rectangle = AcDbPolyline::cast(entities[0]);
    ASSERT_NE(rectangle, nullptr);
    EXPECT_EQ(vertices(rectangle),
              "0.000,0.000 0.000;0.000,200.000 0.000;300.000,200.000 0.000;"
              "300.000,0.000 0.000;0.000,0.000 0.000");
    EXPECT_TRUE(rectangle->isClosed());
    EXPECT_EQ(rectangle->layerName(), L"HATCH-OFFICES");
    EXPECT_EQ(rectangle->color().red(), 255);
    auto* hatch = AcDbHatch::cast(entities[1]);
    ASSERT_NE(hatch, nullptr);
    EXPECT_EQ(std::wstring(hatch->patternName()), L"ANSI31");
    EXPECT_DOUBLE_EQ(hatch->patternScale(), 1.0);
    EXPECT_EQ(hatch->layerName(), L"HATCH-OFFICES");
    EXPECT_EQ(hatch->color().green(), 128);
    EXPECT_FALSE(hatch->associative());
    EXPECT_EQ(hatch->numLoops(), 1);
    closeAll(entities);
    // The swatch's layer is made in the category's colour.
    EXPECT_FALSE(db()->layerId(L"HATCH-OFFICES").isNull());
    // The backslash of a title becomes "_" in the swatch name.
    EXPECT_FALSE(db()->blockId(L"[KELMO_LEGEND_HATCH]_Floor 3_Open plan and meeting rooms_north").isNull());
}

TEST_F(Legend, EmptyCategoriesAreLeftOutOnRequestAndNoCategoriesGiveTitleAndHeaderOnly) {
    struct Case {
        const char* name;
        bool withList;
        std::vector<CategorySpec> specs;
        int ignoreEmpty;
        const wchar_t* units;
        unsigned rows;
        double areaWidth;
    };
    const Case cases[] = {
        {"empty left out", true, categories, 1, L"sq.m.", 4, 1100.0},
        {"no category list", false, {}, 0, L"sq.m.", 2, 1100.0},
        {"empty category list", true, {}, 1, L"sq.m.", 2, 1100.0},
        {"every category empty", true, {{L"Stores", L"SOLID", 1, 0, 0, 255, L"H", {0.0}}}, 1, L"sq.ft.", 2, 1200.0},
    };
    for (const Case& c : cases) {
        auto made = report(L"Plan", 0.0, c.specs, c.withList);
        locked([&] { CLegendTable(drawing.get(), 100.0, 2, c.units, c.ignoreEmpty, made.get(), 0.0, nullptr); });
        std::vector<AcDbEntity*> entities = contents(L"[KELMO_LEGEND]_Plan");
        ASSERT_EQ(entities.size(), 1u) << c.name;
        auto* table = AcDbTable::cast(entities[0]);
        EXPECT_EQ(table->numRows(), c.rows) << c.name;
        EXPECT_EQ(table->cellText(1, 2), std::wstring(L"Area ") + c.units) << c.name;
        EXPECT_DOUBLE_EQ(table->columnWidth(2), c.areaWidth) << c.name;
        closeAll(entities);
    }
    // With the empty category left out, its swatch is not made.
    EXPECT_TRUE(db()->blockId(L"[KELMO_LEGEND_HATCH]_Plan_Stores").isNull());
}

TEST_F(Legend, PatternsThatCannotBeDrawnAtTheirScaleAreMarked) {
    // At text size 5000 the swatch is 15000 by 10000: GRATE's lines an eighth of a unit apart are too
    // many, ANSI31 at scale 1000000 too few.
    auto made = report(L"Marks", 0.0,
                       {{L"Dense", L"GRATE", 1, 10, 10, 10, L"H1", {10.0}},
                        {L"Sparse", L"ANSI31", 1000000, 20, 20, 20, L"H2", {10.0}},
                        {L"Solid", L"SOLID", 1, 30, 30, 30, L"H3", {10.0}}});
    locked([&] { CLegendTable(drawing.get(), 5000.0, 2, L"sq.m.", 0, made.get(), 0.0, nullptr); });
    struct Expect {
        const wchar_t* swatch;
        const wchar_t* mark; // null: a hatch
    };
    for (const Expect& e : {Expect{L"Dense", L"<!"}, Expect{L"Sparse", L">!"}, Expect{L"Solid", nullptr}}) {
        std::vector<AcDbEntity*> entities = contents(std::wstring(L"[KELMO_LEGEND_HATCH]_Marks_") + e.swatch);
        ASSERT_EQ(entities.size(), 2u) << e.swatch;
        EXPECT_NE(AcDbPolyline::cast(entities[0]), nullptr);
        if (e.mark) {
            auto* mark = AcDbAttributeDefinition::cast(entities[1]);
            ASSERT_NE(mark, nullptr) << e.swatch;
            EXPECT_EQ(std::wstring(mark->tagConst()), e.mark);
            EXPECT_EQ(std::wstring(mark->textStringConst()), e.mark);
            EXPECT_TRUE(mark->isConstant());
            EXPECT_DOUBLE_EQ(mark->height(), 5000.0);
        } else {
            EXPECT_NE(AcDbHatch::cast(entities[1]), nullptr) << e.swatch;
        }
        closeAll(entities);
    }
}

TEST_F(Legend, RebuildingKeepsEarlierInsertsAndCellsValidAndCollidingSwatchNamesApart) {
    auto first = report(L"Floor: 3", 0.0,
                        {{L"A/B", L"SOLID", 1, 255, 0, 0, L"H", {1.0}}, {L"A:B", L"SOLID", 1, 0, 255, 0, L"H", {2.0}}});
    AcGePoint3d at(1000, 2000, 0);
    locked([&] { CLegendTable(drawing.get(), 100.0, 2, L"sq.m.", 0, first.get(), 0.0, &at); });
    const AcDbObjectId legend = db()->blockId(L"[KELMO_LEGEND]_Floor_ 3");
    const AcDbObjectId red = db()->blockId(L"[KELMO_LEGEND_HATCH]_Floor_ 3_A_B");
    const AcDbObjectId green = db()->blockId(L"[KELMO_LEGEND_HATCH]_Floor_ 3_A_B_2");
    ASSERT_FALSE(legend.isNull());
    ASSERT_FALSE(red.isNull());
    ASSERT_FALSE(green.isNull());

    // Built again with other areas: the same definitions, refilled, and a second insert.
    auto second =
        report(L"Floor: 3", 0.0,
               {{L"A/B", L"SOLID", 1, 255, 0, 0, L"H", {5.0}}, {L"A:B", L"SOLID", 1, 0, 255, 0, L"H", {6.0}}});
    locked([&] { CLegendTable(drawing.get(), 100.0, 2, L"sq.m.", 0, second.get(), 0.0, &at); });
    EXPECT_EQ(db()->blockId(L"[KELMO_LEGEND]_Floor_ 3"), legend);
    EXPECT_EQ(db()->blockId(L"[KELMO_LEGEND_HATCH]_Floor_ 3_A_B"), red);
    EXPECT_EQ(db()->blockId(L"[KELMO_LEGEND_HATCH]_Floor_ 3_A_B_2"), green);
    std::vector<AcDbEntity*> entities = contents(L"[KELMO_LEGEND]_Floor_ 3");
    ASSERT_EQ(entities.size(), 1u);
    auto* table = AcDbTable::cast(entities[0]);
    EXPECT_EQ(table->cellText(2, 2), L"5.00");
    EXPECT_EQ(table->blockTableRecordId(2, 1), red);
    EXPECT_EQ(table->blockTableRecordId(3, 1), green);
    closeAll(entities);
    entities = contents(L"[KELMO_LEGEND_HATCH]_Floor_ 3_A_B_2");
    EXPECT_EQ(entities.size(), 2u);
    closeAll(entities);

    const auto inserts = insertsOf(legend);
    EXPECT_EQ(inserts.size(), 2u);
    for (const auto& [position, rotation] : inserts) EXPECT_TRUE(position.isEqualTo(at));
}

} // namespace
} // namespace reportstest
