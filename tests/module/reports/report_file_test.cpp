// Graphic-report files: every element read and written, the categories they hold, and the files
// that are no reports.
#include <vector>

#include "ReportTestSupport.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/Asset.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"

namespace reportstest {
namespace {

CHatch* hatch(const wchar_t* pattern, int r, int g, int b, int scale, int angle, const wchar_t* layer) {
    auto* made = new CHatch();
    made->setPattern(pattern);
    AcCmColor colour;
    colour.setColorMethod(AcCm::kByColor);
    colour.setRGB(static_cast<Adesk::UInt8>(r), static_cast<Adesk::UInt8>(g), static_cast<Adesk::UInt8>(b));
    made->setColour(colour);
    made->setScale(scale);
    made->setAngle(angle);
    made->setLayer(layer);
    return made;
}

CCategory* category(int id, const wchar_t* title, CHatch* look, std::vector<const wchar_t*> handles = {}) {
    auto* made = new CCategory();
    made->setID(id);
    made->setTitle(title);
    made->setHatch(look);
    if (!handles.empty()) {
        made->setBlocks(new CBlocks());
        for (const wchar_t* handle : handles) {
            auto* block = new CBlockDWG();
            block->setHandle(CString(handle));
            made->getBlocks()->addBlock(block);
        }
    }
    return made;
}

CString handleAt(CCategory* held, int index) {
    return held->getBlocks()->getAt(index)->getHandle();
}

TEST(ReportFile, ARecordWrittenAndReadBackKeepsEveryFieldOfTheFile) {
    TempFolder folder;
    CGraphicReport report;
    report.setID(42);
    report.setTitle(L"Floor 3: occupancy");
    report.setDrawingPath(L"Z:\\plans\\");
    report.setDrawingFilename(L"floor3.dxf");
    report.setPlotTypeID(3);
    report.setPlotAreaTypeID(5);
    report.setPlotMediaSizeID(88);
    report.setPlotScaleTypeID(20); // the host's value for stored id 19
    report.setPlotCentred(0);
    report.setPlotLayout(L"Layout1");
    report.setSaveCopyTo(L"Z:\\copies\\");
    report.setTotalChildAreas(1234.5678901234);
    report.setPieXYOffset(0.1 + 0.2);
    report.setPieIgnoreEmptySegments(0);
    report.setPieShowLabels(0);
    report.setPieShowLabelSegmentLines(0);
    report.setCategories(new CCategories());
    report.getCategories()->add(
        category(7, L"Offices", hatch(L"ANSI31", 255, 128, 0, 500, 45, L"HATCH-OFF"), {L"1F", L"*"}));
    report.getCategories()->add(category(8, L"Stores", nullptr));
    CCategory* third = category(9, L"Desks", hatch(L"SOLID", 0, 0, 255, 1, 0, L"HATCH-DESK"));
    third->setAssets(new CAssets());
    third->getAssets()->add(new CAsset(0, L"2A", L"DESK", L"", L"", 1.5, 2.5, 1));
    report.getCategories()->add(third);
    report.setLayersOn(new CLayers());
    auto* layer = new CLayer();
    layer->setName(L"WALLS");
    report.getLayersOn()->add(layer);

    const CString path = folder.windows("report.xml");
    report.serialize(path);
    const std::string text = slurp(folder.native("report.xml"));
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
    EXPECT_EQ(text.find("xml-stylesheet"), std::string::npos) << text;
    EXPECT_NE(text.find("<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\">"), std::string::npos) << text;
    // The stored id, not the host's value, so a second round gives the same scale.
    EXPECT_NE(text.find("<grPlotScaleTypeID>19</grPlotScaleTypeID>"), std::string::npos) << text;
    EXPECT_NE(text.find("<grTotalChildAreas>1234.5678901234</grTotalChildAreas>"), std::string::npos) << text;
    EXPECT_NE(text.find("<grPieXYOffset>0.30000000000000004</grPieXYOffset>"), std::string::npos) << text;
    EXPECT_NE(text.find("<cHatchColour>#FF8000</cHatchColour>"), std::string::npos) << text;
    EXPECT_NE(text.find("<grSaveCopyTo>"), std::string::npos) << text;
    // The writer's order.
    const char* order[] = {"<grID>",
                           "<grTitle>",
                           "<grDrawingPath>",
                           "<grDrawingFilename>",
                           "<grPlotTypeID>",
                           "<grPlotAreaTypeID>",
                           "<grPlotMediaSizeID>",
                           "<grPlotScaleTypeID>",
                           "<grPlotCentred>",
                           "<grSaveCopyTo>",
                           "<grPlotLayout>",
                           "<grTotalChildAreas>",
                           "<grPieXYOffset>",
                           "<grPieIgnoreEmptySegments>",
                           "<grPieShowLabels>",
                           "<grPieShowLabelSegmentLines>",
                           "<categories>",
                           "<layersOn>"};
    size_t last = 0;
    for (const char* element : order) {
        const size_t at = text.find(element);
        EXPECT_NE(at, std::string::npos) << element;
        EXPECT_GT(at, last) << element;
        last = at;
    }

    for (int round = 0; round < 2; ++round) {
        CGraphicReport back;
        back.deSerialize(path);
        EXPECT_EQ(back.getID(), 42);
        EXPECT_EQ(back.getTitle(), L"Floor 3: occupancy");
        EXPECT_EQ(back.getDrawingPath(), L"Z:\\plans\\");
        EXPECT_EQ(back.getDrawingFilename(), L"floor3.dxf");
        EXPECT_EQ(back.getPlotTypeID(), 3);
        EXPECT_EQ(back.getPlotAreaTypeID(), 5);
        EXPECT_EQ(back.getPlotMediaSizeID(), 88);
        EXPECT_EQ(back.getPlotScaleTypeID(), 20);
        EXPECT_EQ(back.getPlotCentred(), 0);
        EXPECT_EQ(back.getPlotLayout(), L"Layout1");
        EXPECT_EQ(back.getSaveCopyTo(), L""); // written for the register, never read
        EXPECT_EQ(back.getTotalChildAreas(), 1234.5678901234);
        EXPECT_EQ(back.getPieXYOffset(), 0.1 + 0.2);
        EXPECT_EQ(back.getPieIgnoreEmptySegments(), 0);
        EXPECT_EQ(back.getPieShowLabels(), 0);
        EXPECT_EQ(back.getPieShowLabelSegmentLines(), 0);
        ASSERT_NE(back.getCategories(), nullptr);
        ASSERT_EQ(back.getCategories()->getCount(), 3);
        CCategory* offices = back.getCategories()->getAt(0);
        EXPECT_EQ(offices->getID(), 7);
        EXPECT_EQ(offices->getTitle(), L"Offices");
        ASSERT_NE(offices->getHatch(), nullptr);
        EXPECT_EQ(offices->getHatch()->getPattern(), L"ANSI31");
        EXPECT_EQ(offices->getHatch()->getColour().red(), 255);
        EXPECT_EQ(offices->getHatch()->getColour().green(), 128);
        EXPECT_EQ(offices->getHatch()->getColour().blue(), 0);
        EXPECT_TRUE(offices->getHatch()->getColour().isByColor());
        EXPECT_EQ(offices->getHatch()->getScale(), 500);
        EXPECT_EQ(offices->getHatch()->getAngle(), 45);
        EXPECT_EQ(offices->getHatch()->getLayer(), L"HATCH-OFF");
        ASSERT_NE(offices->getBlocks(), nullptr);
        ASSERT_EQ(offices->getBlocks()->getCount(), 2);
        EXPECT_EQ(handleAt(offices, 0), L"1F");
        EXPECT_EQ(handleAt(offices, 1), L"*");
        CCategory* stores = back.getCategories()->getAt(1);
        EXPECT_EQ(stores->getHatch(), nullptr);
        EXPECT_EQ(stores->getBlocks(), nullptr);
        CCategory* desks = back.getCategories()->getAt(2);
        ASSERT_NE(desks->getAssets(), nullptr);
        ASSERT_EQ(desks->getAssets()->getCount(), 1);
        EXPECT_EQ(desks->getAssets()->getAt(0)->getHandleAsString(), L"2A");
        ASSERT_NE(desks->getAssets()->getAt(0)->getHatch(), nullptr);
        EXPECT_EQ(desks->getAssets()->getAt(0)->getHatch()->getPattern(), L"SOLID");
        ASSERT_NE(back.getLayersOn(), nullptr);
        ASSERT_EQ(back.getLayersOn()->getCount(), 1);
        EXPECT_EQ(back.getLayersOn()->getAt(0)->getName(), L"WALLS");
        // A second round from what was read gives the same file.
        if (round == 0) {
            back.serialize(folder.windows("again.xml"));
            std::string again = slurp(folder.native("again.xml"));
            std::string first = text;
            // Only the copy target, which is never read, differs.
            const size_t from = first.find("<grSaveCopyTo>");
            first.erase(from, first.find("</grSaveCopyTo>") + 15 - from);
            EXPECT_EQ(again, first);
        }
    }
}

TEST(ReportFile, AnEmptyTitleAndLayoutAreLeftOutAndTheListsOnlyWhenHeld) {
    TempFolder folder;
    CGraphicReport report;
    const CString path = folder.windows("plain.xml");
    report.serialize(path);
    const std::string text = slurp(folder.native("plain.xml"));
    for (const char* absent : {"grTitle", "grPlotLayout", "grSaveCopyTo", "categories", "layersOn"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    EXPECT_NE(text.find("<grID>0</grID>"), std::string::npos) << text;
    EXPECT_NE(text.find("<grTotalChildAreas>0</grTotalChildAreas>"), std::string::npos) << text;
    CGraphicReport back;
    back.setTitle(L"kept");
    back.deSerialize(path);
    EXPECT_EQ(back.getTitle(), L"kept");
    EXPECT_EQ(back.getCategories(), nullptr);
    EXPECT_EQ(back.getLayersOn(), nullptr);
}

TEST(ReportFile, AnEmptyReportElementReadsAsDefaults) {
    TempFolder folder;
    for (const std::string& body : {std::string(), std::string("<unknown>1</unknown>")}) {
        CGraphicReport report;
        report.deSerialize(folder.write("empty.xml", reportFile(body)));
        EXPECT_EQ(report.getID(), 0);
        EXPECT_EQ(report.getPlotCentred(), 1);
        EXPECT_EQ(report.getPlotOptionID(), 1);
        EXPECT_EQ(report.getPieIgnoreEmptySegments(), 1);
        EXPECT_EQ(report.getPieShowLabels(), 1);
        EXPECT_EQ(report.getPieShowLabelSegmentLines(), 1);
        EXPECT_EQ(report.getCategories(), nullptr);
        EXPECT_EQ(report.getLayersOn(), nullptr);
        EXPECT_EQ(report.getLinkLines(), nullptr);
    }
}

TEST(ReportFile, FilesThatAreNoReportsGiveClearErrorsAndChangeNothing) {
    TempFolder folder;
    std::filesystem::create_directories(folder.native("folder.xml"));
    struct Case {
        std::string name, text;
        bool write;
        std::string message;
    };
    const Case cases[] = {
        {"missing.xml", "", false, "Graphic report file not found - "},
        {"folder.xml", "", false, "Graphic report file not found - "},
        {"empty.xml", "", true, "Graphic report file is empty - "},
        {"text.xml", "grTitle=Offices\n", true, "Graphic report file is not valid XML - "},
        {"cut.xml", "<graphicReport><grTitle>Offices</grTitle>", true, "Graphic report file is not valid XML - "},
        {"foreign.xml", "<?xml version=\"1.0\"?><debugging><grTitle>x</grTitle></debugging>", true,
         "Not a graphic report file - "},
    };
    for (const Case& c : cases) {
        const CString path = c.write ? folder.write(c.name, c.text) : folder.windows(c.name);
        CGraphicReport report;
        report.setTitle(L"before");
        const CString message = innermostDescription([&] { report.deSerialize(path); });
        EXPECT_EQ(message.Left(static_cast<int>(c.message.size())), CString(c.message.c_str())) << c.name;
        EXPECT_NE(message.Find(path), -1) << c.name << ": " << message.ToUtf8();
        EXPECT_EQ(report.getTitle(), L"before") << c.name;
    }
    CGraphicReport report;
    EXPECT_EQ(innermostDescription([&] { report.deSerialize(folder.windows("foreign.xml")); }),
              L"Not a graphic report file - " + folder.windows("foreign.xml") +
                  L" (its root element is 'debugging', not 'graphicReport')");
}

TEST(ReportFile, FlagsAndPlotIdsReadAsTheHostTakesThem) {
    TempFolder folder;
    struct Case {
        const char* element;
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"grPlotCentred", "true", 1},
        {"grPlotCentred", "TRUE", 0},
        {"grPlotCentred", "yes", 0},
        {"grPlotCentred", "0", 0},
        {"grPieShowLabels", "1", 1},
        {"grPieShowLabels", "2", 0},
        {"grPlotScaleTypeID", "18", 18},
        {"grPlotScaleTypeID", "19", 20},
        {"grPlotScaleTypeID", "33", 34},
        {"grPlotScaleTypeID", "34", 0},
        {"grPlotTypeID", "3", 3},
        {"grPlotTypeID", "4", 0},
        {"grPlotAreaTypeID", "6", 0},
        {"grPlotMediaSizeID", "88", 88},
        {"grPlotMediaSizeID", "89", 0},
        {"grID", "12x", 0},
        {"grID", "-3", -3},
    };
    for (const Case& c : cases) {
        const std::string element = std::string("<") + c.element + ">" + c.text + "</" + c.element + ">";
        CGraphicReport report;
        report.deSerialize(folder.write("flag.xml", reportFile(element)));
        const std::string name = c.element;
        const int read = name == "grPlotCentred"       ? report.getPlotCentred()
                         : name == "grPieShowLabels"   ? report.getPieShowLabels()
                         : name == "grPlotScaleTypeID" ? report.getPlotScaleTypeID()
                         : name == "grPlotTypeID"      ? report.getPlotTypeID()
                         : name == "grPlotAreaTypeID"  ? report.getPlotAreaTypeID()
                         : name == "grPlotMediaSizeID" ? report.getPlotMediaSizeID()
                                                       : report.getID();
        EXPECT_EQ(read, c.expected) << element;
    }
}

TEST(ReportFile, TheLaterOfTwoElementsStandsAndTheReaderKeepsPathsAsWritten) {
    TempFolder folder;
    CGraphicReport report;
    report.deSerialize(folder.write(
        "twice.xml",
        reportFile("<grTitle>first</grTitle><grTitle>second</grTitle><grDrawingPath>Z:\\a?b</grDrawingPath>"
                   "<categories><category><cTitle>A</cTitle></category></categories>"
                   "<categories><category><cTitle>B</cTitle></category>"
                   "<category><cTitle>C</cTitle></category></categories>")));
    EXPECT_EQ(report.getTitle(), L"second");
    EXPECT_EQ(report.getDrawingPath(), L"Z:\\a?b");
    ASSERT_EQ(report.getCategories()->getCount(), 2);
    EXPECT_EQ(report.getCategories()->getAt(0)->getTitle(), L"B");

    report.setDrawingPath(L"Z:\\a?b");
    EXPECT_EQ(report.getDrawingPath(), L"Z:\\ab\\");
    report.setOutputPath(L"C:\\out");
    EXPECT_EQ(report.getOutputPath(), L"C:\\out\\");
    report.setXMLOutputTo(L"");
    EXPECT_EQ(report.getXMLOutputTo(), L"");
    report.setDrawingFilename(L"a?.dxf");
    EXPECT_EQ(report.getDrawingFilename(), L"a?.dxf");
}

TEST(ReportCategories, CategoriesThatLookAlikeAreReadOnceAndOthersAreKept) {
    TempFolder folder;
    const std::string offices =
        "<cTitle>Offices</cTitle><cHatchPattern>ANSI31</cHatchPattern>"
        "<cHatchColour>#ff8000</cHatchColour><cHatchScale>500</cHatchScale>"
        "<cHatchAngle>45</cHatchAngle>";
    CGraphicReport report;
    report.deSerialize(folder.write(
        "categories.xml",
        reportFile("<categories>"
                   "<category><cID>1</cID>" +
                   offices +
                   "<cHatchLayer>L1</cHatchLayer></category>"
                   "<category><cID>2</cID>" +
                   offices +
                   "<cHatchLayer>L2</cHatchLayer>"
                   "<kelmoBlocks><kelmoBlock><mbHandle>2B</mbHandle></kelmoBlock></kelmoBlocks></category>"
                   "<category><cID>3</cID><cTitle>Offices</cTitle><cHatchPattern>ANSI31</cHatchPattern>"
                   "<cHatchColour>#FF8001</cHatchColour><cHatchScale>500</cHatchScale><cHatchAngle>45</cHatchAngle>"
                   "</category>"
                   // Equal titles, one without a hatch: both are kept.
                   "<category><cID>4</cID><cTitle>Offices</cTitle></category>"
                   "<category><cID>5</cID><cTitle>Offices</cTitle></category>"
                   "<category></category>"
                   "<notACategory><cTitle>x</cTitle></notACategory>"
                   "</categories>")));
    CCategories* categories = report.getCategories();
    ASSERT_NE(categories, nullptr);
    ASSERT_EQ(categories->getCount(), 4);
    EXPECT_EQ(categories->getAt(0)->getID(), 1);
    EXPECT_EQ(categories->getAt(0)->getHatch()->getLayer(), L"L1");
    EXPECT_EQ(categories->getAt(0)->getBlocks(), nullptr);
    EXPECT_EQ(categories->getAt(1)->getID(), 3);
    EXPECT_EQ(categories->getAt(2)->getID(), 4);
    EXPECT_EQ(categories->getAt(2)->getHatch(), nullptr);
    // The element without children: an empty category, id 0.
    EXPECT_EQ(categories->getAt(3)->getID(), 0);
    EXPECT_EQ(categories->getAt(3)->getTitle(), L"");
}

TEST(ReportCategories, HatchSettingsBlocksAndAssetsTakeTheWholeHatchWhateverTheirOrder) {
    const std::string categories =
        "<categories><category><cTitle>Early</cTitle>"
        "<cHatchColour>#00FF00</cHatchColour><cHatchScale>7</cHatchScale><cHatchLayer>X</cHatchLayer>"
        "<kelmoBlocks><kelmoBlock><mbHandle>A1</mbHandle></kelmoBlock></kelmoBlocks>"
        "<cHatchPattern>SOLID</cHatchPattern><cHatchAngle>30</cHatchAngle>"
        "<assets><asset><handle>B2</handle></asset></assets>"
        "</category><category><cTitle>Twice</cTitle><cHatchPattern>ANSI31</cHatchPattern>"
        "<cHatchScale>9</cHatchScale><cHatchPattern>ANSI37</cHatchPattern><cHatchColour>#010203</cHatchColour>"
        "</category><category><cTitle>Uncoloured</cTitle><cHatchPattern>ANSI31</cHatchPattern>"
        "<kelmoBlocks><kelmoBlock><mbHandle>A1</mbHandle></kelmoBlock></kelmoBlocks></category>"
        "</categories>";
    TempFolder folder;
    CGraphicReport report;
    report.deSerialize(folder.write("order.xml", reportFile(categories + "<categories/>")));
    ASSERT_NE(report.getCategories(), nullptr);
    EXPECT_EQ(report.getCategories()->getCount(), 0) << "the second, empty list replaces the first";

    report.deSerialize(folder.write("order.xml", reportFile(categories)));
    CCategory* early = report.getCategories()->getAt(0);
    ASSERT_NE(early->getHatch(), nullptr);
    EXPECT_EQ(early->getHatch()->getPattern(), L"SOLID");
    EXPECT_EQ(early->getHatch()->getScale(), 7);
    EXPECT_EQ(early->getHatch()->getLayer(), L"X");
    EXPECT_EQ(early->getHatch()->getAngle(), 30);
    EXPECT_EQ(early->getHatch()->getColour().green(), 255);
    const CHatch* blockHatch = static_cast<CBlockDWG*>(early->getBlocks()->getAt(0))->getHatch();
    ASSERT_NE(blockHatch, nullptr);
    EXPECT_EQ(blockHatch->getLayer(), L"X");
    ASSERT_NE(early->getAssets()->getAt(0)->getHatch(), nullptr);
    EXPECT_EQ(early->getAssets()->getAt(0)->getHatch()->getPattern(), L"SOLID");
    EXPECT_EQ(early->getReadProblems().GetSize(), 0);
    // The later of two elements stands; a pattern read again keeps the settings read before it.
    CCategory* twice = report.getCategories()->getAt(1);
    EXPECT_EQ(twice->getHatch()->getPattern(), L"ANSI37");
    EXPECT_EQ(twice->getHatch()->getScale(), 9);
    // No colour: nothing is hatched in one nobody wrote.
    CCategory* uncoloured = report.getCategories()->getAt(2);
    EXPECT_EQ(uncoloured->getHatch(), nullptr);
    EXPECT_EQ(static_cast<CBlockDWG*>(uncoloured->getBlocks()->getAt(0))->getHatch(), nullptr);
    ASSERT_EQ(uncoloured->getReadProblems().GetSize(), 1);
    EXPECT_EQ(uncoloured->getReadProblems()[0], L"no hatch colour - its spaces and assets are not hatched");
}

} // namespace
} // namespace reportstest
