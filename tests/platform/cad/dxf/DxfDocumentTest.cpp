#include "cad/dxf/DxfDocument.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dxf;

namespace {

bool mentions(const Document& d, std::string_view text) {
    return std::any_of(d.problems.begin(), d.problems.end(),
                       [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

const Tags* objectOfType(const Document& d, std::string_view type, std::string_view name = {}) {
    for (const Tags& o : d.objects) {
        if (recordType(o) != type) continue;
        if (name.empty() || std::any_of(o.begin(), o.end(),
                                        [&](const Tag& t) { return (t.code == 1 || t.code == 2) && t.value == name; }))
            return &o;
    }
    return nullptr;
}

const std::string r12 =
    "  0\nSECTION\n  2\nENTITIES\n"
    "  0\nLINE\n  8\nWalls\n 10\n0\n 20\n0\n 30\n0\n 11\n5\n 21\n0\n 31\n0\n"
    "  0\nTEXT\n  8\n0\n 10\n1\n 20\n1\n 30\n0\n 40\n2.5\n  1\nRoom\n 72\n1\n 11\n2\n 21\n1\n 31\n0\n 73\n2\n"
    "  0\nENDSEC\n  0\nEOF\n";

} // namespace

TEST(DxfDocument, OldEntitiesGainSubclassesHandlesAndOwners) {
    Document d = parseDocument(r12, "r12.dxf");
    normalizeR2010(d);
    ASSERT_EQ(d.entities.size(), 2u);
    const Tags& line = d.entities[0];
    EXPECT_NE(recordHandle(line), 0u);
    const Table* brs = d.table("BLOCK_RECORD");
    ASSERT_NE(brs, nullptr);
    std::uint64_t model = 0;
    for (const Tags& r : brs->records)
        if (*findValue(r, 2) == "*Model_Space") model = recordHandle(r);
    EXPECT_EQ(recordOwner(line), model);
    EXPECT_EQ(line[3].value, "AcDbEntity");
    EXPECT_EQ(*findValue(line, 8), "Walls");
    // The text's vertical alignment lives in its second subclass.
    const Tags& text = d.entities[1];
    auto second = std::find_if(text.rbegin(), text.rend(), [](const Tag& t) { return t.code == 100; });
    ASSERT_EQ(
        std::count_if(text.begin(), text.end(), [](const Tag& t) { return t.code == 100 && t.value == "AcDbText"; }),
        2);
    EXPECT_EQ(text.back().code, 73);
    EXPECT_EQ((second.base())->code, 73);
    // The layer the line uses is defined now.
    bool walls = false;
    for (const Tags& r : d.table("LAYER")->records) walls = walls || *findValue(r, 2) == "Walls";
    EXPECT_TRUE(walls);
}

TEST(DxfDocument, SkeletonHasTheRequiredRecordsAndObjects) {
    Document d = parseDocument("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n", "min.dxf");
    normalizeR2010(d);
    ASSERT_EQ(d.tables.size(), 9u);
    EXPECT_EQ(d.tables.front().name, "VPORT");
    EXPECT_EQ(d.tables.back().name, "BLOCK_RECORD");
    for (auto [table, name] : {std::pair{"LTYPE", "Continuous"},
                               {"LAYER", "0"},
                               {"STYLE", "Standard"},
                               {"APPID", "ACAD"},
                               {"DIMSTYLE", "Standard"},
                               {"BLOCK_RECORD", "*Paper_Space"}}) {
        const Table* t = d.table(table);
        bool found =
            std::any_of(t->records.begin(), t->records.end(), [&](const Tags& r) { return *findValue(r, 2) == name; });
        EXPECT_TRUE(found) << table << " " << name;
    }
    ASSERT_FALSE(d.objects.empty());
    EXPECT_EQ(recordType(d.objects.front()), "DICTIONARY");
    EXPECT_EQ(recordOwner(d.objects.front()), 0u);
    EXPECT_NE(objectOfType(d, "LAYOUT", "Model"), nullptr);
    EXPECT_NE(objectOfType(d, "LAYOUT", "Layout1"), nullptr);
    EXPECT_EQ((*d.headerVar("$ACADVER"))[0].value, "AC1024");
    // Every handle is unique and below the seed.
    std::uint64_t seed = parseHandle((*d.headerVar("$HANDSEED"))[0].value);
    std::vector<std::uint64_t> all;
    for (const Table& t : d.tables) {
        all.push_back(recordHandle(t.head));
        for (const Tags& r : t.records) all.push_back(recordHandle(r));
    }
    for (const Tags& o : d.objects) all.push_back(recordHandle(o));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_LT(all.back(), seed);
    EXPECT_NE(all.front(), 0u);
}

TEST(DxfDocument, DamageIsRepairedAndReported) {
    const std::string text =
        "  0\nSECTION\n  2\nENTITIES\n"
        "  0\nLINE\n  5\n20\n  8\n0\n"
        "  0\nCIRCLE\n  5\n20\n  8\n0\n 40\n1\n"    // duplicate handle
        "  0\nARC\n  5\n\n  8\n0\n"                 // empty handle
        "  0\nATTRIB\n  5\n30\n  2\nTAG\n"          // attribute without its insert
        "  0\nINSERT\n  5\n31\n  2\nB\n 66\n1\n"    // block B is never defined
        "  0\nATTRIB\n  5\n32\n  2\nNAME\n  1\nx\n" // no SEQEND follows
        "  0\nSECTION\n  2\nOBJECTS\n  0\nENDSEC\n" // ENTITIES never closed
        "  0\nEOF\ntrailing rubbish\n";
    Document d = parseDocument(text, "bad.dxf");
    normalizeR2010(d);
    EXPECT_TRUE(mentions(d, "after EOF"));
    EXPECT_TRUE(mentions(d, "not closed"));
    EXPECT_TRUE(mentions(d, "duplicate handle 20"));
    EXPECT_TRUE(mentions(d, "empty or invalid handle"));
    EXPECT_TRUE(mentions(d, "without their insert"));
    EXPECT_TRUE(mentions(d, "sequence end"));
    EXPECT_TRUE(mentions(d, "\"B\" is inserted but not defined"));
    EXPECT_TRUE(
        std::any_of(d.blocks.begin(), d.blocks.end(), [](const Block& b) { return *findValue(b.begin, 2) == "B"; }));
    std::vector<std::string> types;
    for (const Tags& e : d.entities) types.emplace_back(recordType(e));
    EXPECT_EQ(types, (std::vector<std::string>{"LINE", "CIRCLE", "ARC", "INSERT", "ATTRIB", "SEQEND"}));
    EXPECT_EQ(recordHandle(d.entities[0]), 0x20u);
    EXPECT_NE(recordHandle(d.entities[1]), 0x20u);
    EXPECT_EQ(recordOwner(d.entities[4]), 0x31u);
    EXPECT_EQ(recordOwner(d.entities[5]), 0x31u);
}

TEST(DxfDocument, RecordsWithoutAHandleTakeNewOnesInFileOrderAboveEveryHandleInUse) {
    // No handle is taken twice, and the seed lies below a record's handle.
    const std::string text =
        "  0\nSECTION\n  2\nHEADER\n  9\n$HANDSEED\n  5\n40\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n"
        "  0\nLINE\n  5\nA0\n  8\n0\n"
        "  0\nCIRCLE\n  8\n0\n 40\n1\n" // no handle
        "  0\nARC\n  5\n\n  8\n0\n"     // an empty one
        "  0\nLINE\n  5\n41\n  8\n0\n"
        "  0\nENDSEC\n  0\nEOF\n";
    Document d = parseDocument(text, "handles.dxf");
    normalizeR2010(d);
    ASSERT_EQ(d.entities.size(), 4u);
    EXPECT_EQ(recordHandle(d.entities[0]), 0xA0u);
    EXPECT_EQ(recordHandle(d.entities[3]), 0x41u);
    const std::uint64_t circle = recordHandle(d.entities[1]), arc = recordHandle(d.entities[2]);
    EXPECT_GT(circle, 0xA0u);
    EXPECT_GT(arc, circle);
    EXPECT_TRUE(mentions(d, "1 records with an empty or invalid handle given new handles"));
    EXPECT_FALSE(mentions(d, "duplicate"));
    std::vector<std::uint64_t> all;
    for (const Table& t : d.tables) {
        all.push_back(recordHandle(t.head));
        for (const Tags& r : t.records) all.push_back(recordHandle(r));
    }
    for (const Block& b : d.blocks) all.insert(all.end(), {recordHandle(b.begin), recordHandle(b.end)});
    for (const Tags& e : d.entities) all.push_back(recordHandle(e));
    for (const Tags& o : d.objects) all.push_back(recordHandle(o));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_EQ(std::count(all.begin(), all.end(), 0u), 0);
    EXPECT_GT(parseHandle((*d.headerVar("$HANDSEED"))[0].value), all.back());
}

TEST(DxfDocument, TheFirstOfTwoBlocksOrTableRecordsOfOneNameIsKeptWhateverTheLetterCase) {
    const std::string text =
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n"
        "  0\nLAYER\n  2\nWalls\n 62\n1\n"
        "  0\nLTYPE\n  2\nDoors\n" // not a layer: dropped, its name taken by none
        "  0\nLAYER\n  2\nwalls\n 62\n2\n"
        "  0\nLAYER\n  2\nDoors\n 62\n3\n"
        "  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nBLOCKS\n"
        "  0\nBLOCK\n  2\nDesk\n  0\nLINE\n  8\nfirst\n  0\nENDBLK\n"
        "  0\nBLOCK\n  2\n\n  0\nENDBLK\n"
        "  0\nBLOCK\n  2\nDESK\n  0\nLINE\n  8\nsecond\n  0\nENDBLK\n"
        "  0\nBLOCK\n  2\n$MODEL_SPACE\n  0\nENDBLK\n"
        "  0\nBLOCK\n  2\n*Model_Space\n  0\nENDBLK\n"
        "  0\nBLOCK\n  2\nChair\n  0\nENDBLK\n"
        "  0\nENDSEC\n  0\nEOF\n";
    Document d = parseDocument(text, "twice.dxf");
    normalizeR2010(d);
    std::vector<std::string> layers;
    for (const Tags& r : d.table("LAYER")->records) layers.push_back(*findValue(r, 2) + "/" + findValue(r, 62)->str());
    EXPECT_NE(std::find(layers.begin(), layers.end(), "Walls/1"), layers.end());
    EXPECT_NE(std::find(layers.begin(), layers.end(), "Doors/3"), layers.end());
    EXPECT_EQ(std::find(layers.begin(), layers.end(), "walls/2"), layers.end());
    EXPECT_TRUE(mentions(d, "LAYER \"walls\" appears twice; the second was dropped"));
    EXPECT_FALSE(mentions(d, "\"Doors\" appears twice"));
    std::vector<std::string> blocks;
    for (const Block& b : d.blocks) blocks.push_back(findValue(b.begin, 2)->str());
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), "Desk"), 1);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), "DESK"), 0);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), "*Model_Space"), 1);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), "Chair"), 1);
    for (const Block& b : d.blocks)
        if (*findValue(b.begin, 2) == "Desk") {
            ASSERT_EQ(b.entities.size(), 1u);
            EXPECT_EQ(*findValue(b.entities[0], 8), "first");
        }
    EXPECT_TRUE(mentions(d, "block \"DESK\" defined twice; the second definition was dropped"));
    EXPECT_TRUE(mentions(d, "block \"*Model_Space\" defined twice"));
    EXPECT_TRUE(mentions(d, "unnamed block with 0 entities dropped"));
}

TEST(DxfDocument, BrokenLayoutLinksAreMendedFromTheBlockRecords) {
    // A layout names a block record that does not exist; the record names the layout.
    const std::string text =
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nBLOCK_RECORD\n  5\n1\n"
        "  0\nBLOCK_RECORD\n  5\n2\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n  "
        "2\n*Model_Space\n340\nA\n"
        "  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nOBJECTS\n  0\nDICTIONARY\n  5\nC\n330\n0\n100\nAcDbDictionary\n  3\nACAD_LAYOUT\n350\nD\n"
        "  0\nDICTIONARY\n  5\nD\n330\nC\n100\nAcDbDictionary\n  3\nModel\n350\nA\n"
        "  0\nLAYOUT\n  5\nA\n330\nD\n100\nAcDbPlotSettings\n100\nAcDbLayout\n  1\nModel\n330\nFFFA\n"
        "  0\nENDSEC\n  0\nEOF\n";
    Document d = parseDocument(text, "links.dxf");
    normalizeR2010(d);
    EXPECT_TRUE(mentions(d, "linked again"));
    const Tags* layout = objectOfType(d, "LAYOUT", "Model");
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->back().code, 330);
    EXPECT_EQ(layout->back().value, "2");
    // No second model layout was invented (the other one is the paper space's).
    EXPECT_EQ(
        std::count_if(d.objects.begin(), d.objects.end(), [](const Tags& o) { return recordType(o) == "LAYOUT"; }), 2);
}

TEST(DxfDocument, WrittenValuesNeverSpanLines) {
    Document d = parseDocument(r12, "r12.dxf");
    normalizeR2010(d);
    d.entities[1].push_back(Tag{1000, "two\r\nlines"});
    std::string out;
    writeDocument(d, out);
    EXPECT_NE(out.find("twolines\r\n"), std::string::npos);
    Document again = parseDocument(out, "again.dxf");
    EXPECT_TRUE(again.problems.empty()) << again.problems.front();
    EXPECT_EQ(again.entities.size(), d.entities.size());
}
