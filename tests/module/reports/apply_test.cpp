// Applying a report in the host: link lines, and a failure part-way through.
#include <cmath>
#include <memory>

#include "ChartsFixture.h"
#include "cad/app/HostApplicationServices.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/Asset.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"
#include "reports/LinkLine.h"
#include "reports/LinkLines.h"

namespace reportstest {
namespace {

constexpr double kPi = 3.141592653589793;

class Apply : public ChartsFixture {
protected:
    // An insert of a one-rectangle block on the layer.
    AcDbObjectId door(double x, double y, const std::wstring& layer) {
        if (db()->blockId(L"DOOR").isNull()) {
            auto* outline = new AcDbPolyline(4);
            outline->addVertexAt(0, AcGePoint2d(-100, -100));
            outline->addVertexAt(1, AcGePoint2d(100, -100));
            outline->addVertexAt(2, AcGePoint2d(100, 100));
            outline->setClosed(true);
            host->defineBlock(L"DOOR", {outline});
        }
        if (db()->layerId(layer).isNull()) host->addLayer(layer);
        AcDbObjectId id = host->insertBlock(L"DOOR", AcGePoint3d(x, y, 0));
        drawing->lock();
        AcDbEntity* entity = nullptr;
        acdbOpenAcDbEntity(entity, id, AcDb::kForWrite);
        entity->setLayer(layer.c_str());
        entity->close();
        drawing->unlock(0);
        return id;
    }
    CLinkLine* link(AcDbObjectId from, AcDbObjectId to, const wchar_t* layer, const wchar_t* text) {
        auto* line = new CLinkLine();
        line->setStartHandle(from.isNull() ? CString(L"FFFFF") : CString(host->handleOf(from).c_str()));
        line->setEndHandle(to.isNull() ? CString(L"FFFFF") : CString(host->handleOf(to).c_str()));
        line->setLayer(layer);
        line->setText(text);
        return line;
    }
    bool layerOff(const wchar_t* name) {
        CLayer layer;
        EXPECT_EQ(layer.getDWGLayer(drawing.get(), name), 1) << CString(name).ToUtf8();
        return layer.getOff() != 0;
    }
};

TEST_F(Apply, LinkLinesJoinBlockReferencesInRedDashesWithLabelsThatNeverStandUpsideDown) {
    AcDbObjectId a = door(0, 0, L"DOORS");
    AcDbObjectId b = door(1000, 1000, L"DOORS");
    AcDbObjectId c = door(1000, -500, L"OTHER");
    auto made = report(L"Links", 0.0, {}, false);
    made->setLinkLines(new CLinkLines());
    made->getLinkLines()->add(link(a, b, L"LINKS", L"a to b"));
    std::unique_ptr<CLinkLine> twice(link(a, b, L"ELSEWHERE", L""));
    EXPECT_FALSE(made->getLinkLines()->add(twice.get())) << "the same ends twice stay the caller's";
    made->getLinkLines()->add(link(b, a, L"", L"b to a"));
    made->getLinkLines()->add(link(c, AcDbObjectId(), L"", L"to nowhere"));
    made->getLinkLines()->add(link(c, c, L"", L"on itself"));
    made->setLayersOn(new CLayers());
    host->clearCommandLine();
    made->applyToDrawing(drawing.get());
    const std::wstring printed = host->commandLine();
    EXPECT_NE(printed.find(L"Applying link Lines\n"), std::wstring::npos);
    EXPECT_NE(printed.find(L"\tlink line " + host->handleOf(c) +
                           L" - FFFFF skipped: no block reference with "
                           L"handle FFFFF.\n"),
              std::wstring::npos)
        << CString(printed.c_str()).ToUtf8();

    AcDbBlockTableRecord* modelSpace = nullptr;
    ASSERT_EQ(acdbOpenObject(modelSpace, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
    std::vector<std::string> lines, labels;
    for (const AcDbObjectId& id : modelSpace->entityIds()) {
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
        if (auto* line = AcDbLine::cast(entity))
            lines.push_back(point(line->startPoint()) + " " + point(line->endPoint()) + " " +
                            CString(line->layerName().c_str()).ToUtf8() + " " +
                            CString(line->linetypeName().c_str()).ToUtf8() + " " + std::to_string(line->color().red()));
        if (auto* text = AcDbText::cast(entity))
            labels.push_back(CString(text->textStringConst()).ToUtf8() + " " + point(text->alignmentPoint()) + " " +
                             number(text->rotation()));
        entity->close();
    }
    modelSpace->close();
    EXPECT_EQ(lines, (std::vector<std::string>{"0.000,0.000 1000.000,1000.000 LINKS T_E_S_T 255",
                                               "1000.000,1000.000 0.000,0.000 _KELMO T_E_S_T 255",
                                               "1000.000,-500.000 1000.000,-500.000 _KELMO T_E_S_T 255"}));
    // Both directions read left to right (a quarter turn up); coincident ends give 0.
    EXPECT_EQ(labels, (std::vector<std::string>{"a to b 500.000,500.000 0.785", "b to a 500.000,500.000 0.785",
                                                "on itself 1000.000,-500.000 0.000"}));
    // The layers of the linked blocks and the default layer are on; the report's list switched the rest off.
    EXPECT_FALSE(layerOff(L"DOORS"));
    EXPECT_FALSE(layerOff(L"OTHER"));
    EXPECT_FALSE(layerOff(L"_KELMO"));
    // A line's own layer is made when missing, as a new layer is: on.
    EXPECT_FALSE(layerOff(L"LINKS"));
}

TEST_F(Apply, TheLabelAngleFollowsTheLineFoldedIntoTheRightHalf) {
    struct Case {
        double dx, dy, angle;
    };
    const Case cases[] = {{1, 0, 0},         {-1, 0, 0},        {0, 1, kPi / 2},   {0, -1, kPi / 2}, {1, 1, kPi / 4},
                          {-1, -1, kPi / 4}, {-1, 1, -kPi / 4}, {1, -1, -kPi / 4}, {0, 0, 0}};
    for (const Case& c : cases)
        EXPECT_NEAR(CLinkLine::labelAngle(AcGePoint3d(5, 5, 0), AcGePoint3d(5 + c.dx, 5 + c.dy, 0)), c.angle, 1e-12)
            << c.dx << "," << c.dy;
}

TEST_F(Apply, LinkLinesRoundTripThroughTheirXmlForm) {
    CLinkLines lines;
    auto* first = new CLinkLine();
    first->setStartHandle(L"1A");
    first->setEndHandle(L"2B");
    first->setLayer(L"L");
    first->setText(L"label");
    lines.add(first);
    auto* second = new CLinkLine();
    second->setStartHandle(L"2B");
    second->setEndHandle(L"1A");
    lines.add(second);
    IXMLDOMNodePtr element = lines.serialize(L"urn:test");
    CLinkLines back;
    back.deSerialize(element);
    ASSERT_EQ(back.getCount(), 2);
    EXPECT_EQ(back.getAt(0)->getText(), L"label");
    EXPECT_EQ(back.getAt(0)->getLayer(), L"L");
    EXPECT_EQ(back.getAt(1)->getStartHandle(), L"2B");
    EXPECT_EQ(back.getAt(1)->getText(), L"");
    EXPECT_EQ(element->GetchildNodes()->Getitem(1)->GetchildNodes()->Getlength(), 3) << "no text element";
}

// The report's layout is always the one made current at the end. A report naming none leaves the
// layout that is current then: the one the user had, or "Model" once the report's layers were set.
TEST_F(Apply, TheReportsLayoutEndsCurrentAndWithoutOneSettingItsLayersLeavesModelCurrent) {
    host->addLayer(L"WALLS");
    struct Case {
        const wchar_t* plotLayout;
        bool layerList;
        const wchar_t* before;
        const char* after;
    };
    const Case cases[] = {
        {L"Layout1", false, L"Model", "Layout1"},
        {L"Layout1", true, L"Model", "Layout1"},
        {L"", false, L"Layout1", "Layout1"},
        {L"", true, L"Layout1", "Model"},
    };
    AcDbLayoutManager* layouts = acdbHostApplicationServices()->layoutManager();
    for (const Case& c : cases) {
        locked([&] { ASSERT_EQ(layouts->setCurrentLayout(c.before), Acad::eOk); });
        auto made = report(L"Layouts", 0.0, {}, false);
        made->setPlotLayout(c.plotLayout);
        if (c.layerList) {
            made->setLayersOn(new CLayers());
            auto* walls = new CLayer();
            walls->setName(L"WALLS");
            made->getLayersOn()->add(walls);
        }
        made->applyToDrawing(drawing.get());
        EXPECT_EQ(CString(layouts->findActiveLayout(true)).ToUtf8(), c.after)
            << CString(c.plotLayout).ToUtf8() << " " << c.layerList;
        EXPECT_EQ(drawing->getLockCount(), 0);
    }
}

TEST_F(Apply, AFailurePartWayLeavesTheLayersAsMeantAndTheLockGivenBack) {
    host->addLayer(L"WALLS");
    host->addLayer(L"NOTES");
    host->addRectangle(0, 0, 10, 10, L"WALLS");
    auto made = report(L"Fails", 100.0, {{L"Desks", L"SOLID", 1, 255, 0, 0, L"HATCH-BAD", {10.0}}});
    made->setLayersOn(new CLayers());
    auto* walls = new CLayer();
    walls->setName(L"WALLS");
    made->getLayersOn()->add(walls);
    AcGePoint3d at(0, 0, 0);
    host->defineBlock(L"MARKER-LEGEND", {new AcDbPolyline(2)});
    host->insertBlock(L"MARKER-LEGEND", at);
    // An asset whose hyperlinks are more than its extended data can hold.
    host->defineBlock(L"DESK", {new AcDbPolyline(2)});
    const std::wstring desk = host->handleOf(host->insertBlock(L"DESK", at));
    auto* asset = new CAsset(0, desk.c_str(), L"DESK", L"", L"", 0, 0, 1);
    asset->setHyperlinks(new CHyperlinks());
    for (const wchar_t* page : {L"1", L"2", L"3", L"4", L"5"})
        asset->getHyperlinks()->add(
            new CHyperlink(CString(L"http://plans/") + page + std::wstring(4000, L'a').c_str(), L""));
    made->getCategories()->getAt(0)->setAssets(new CAssets());
    made->getCategories()->getAt(0)->getAssets()->add(asset);
    // The asset's failure is said and the report goes on to its end.
    const CString message = innermostDescription([&] { made->applyToDrawing(drawing.get()); });
    EXPECT_EQ(message, L"");
    const std::wstring said = host->commandLine();
    EXPECT_NE(said.find(L"\t\terror(s) occurred whilst applying asset DESK - " + desk + L".\n"), std::wstring::npos)
        << CString(said.c_str()).ToUtf8();
    EXPECT_NE(said.find(L"eXdataSizeExceeded."), std::wstring::npos) << CString(said.c_str()).ToUtf8();
    EXPECT_EQ(drawing->getLockCount(), 0);
    EXPECT_EQ(drawing->getLocked(), 0);
    EXPECT_FALSE(layerOff(L"WALLS"));
    EXPECT_TRUE(layerOff(L"NOTES"));
}

} // namespace
} // namespace reportstest
