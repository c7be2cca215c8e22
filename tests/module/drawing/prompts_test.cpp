#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "drawing/AcadHost.h"
#include "drawing/AcadUtilities.h"
#include "support/HostFixture.h"
#include "model/BlockDWG.h"

namespace {

class Prompts : public kelmo_test::HostFixture {
protected:
    std::wstring line() const { return host->commandLine(); }
    std::wstring pick(AcDbObjectId id) const { return L"#" + host->handleOf(id); }
    CAcadUtilities u;
};

TEST_F(Prompts, NumbersKeepTheirDefaultUnlessAnswered) {
    int number = 0;
    host->answer(L"*Cancel*");
    u.getInteger(L"Start number", 5, number);
    EXPECT_EQ(number, 5);
    EXPECT_EQ(line(), L"\nStart number <5>: 5\n");
    host->answers({L"", L"twelve", L"12"});
    u.getInteger(L"Start number", 5, number);
    EXPECT_EQ(number, 5);
    u.getInteger(L"Floors", 1, number); // text is asked again by the host
    EXPECT_EQ(number, 12);
    EXPECT_NE(line().find(L"Requires an integer value."), std::wstring::npos);
    u.getInteger(L"Floors", 1, number); // end of input
    EXPECT_EQ(number, 1);

    double real = 0;
    host->clearCommandLine();
    host->answers({L"3.14159", L"*Cancel*"});
    u.getDouble(L"Text size", 2.5, 2, real);
    EXPECT_DOUBLE_EQ(real, 3.14159);
    EXPECT_EQ(line(), L"\nText size <2.50>: 3.14\n");
    u.getDouble(L"Text size", 2.5, 1, real);
    EXPECT_DOUBLE_EQ(real, 2.5);
}

TEST_F(Prompts, BooleanWordsAreCaseSensitive) {
    BOOL value = FALSE;
    host->answers({L"yes", L"Yes", L"", L"*Cancel*"});
    u.getBoolean(L"Hatch", FALSE, value);
    EXPECT_TRUE(value);
    u.getBoolean(L"Hatch", TRUE, value);
    EXPECT_FALSE(value);
    u.getBoolean(L"Hatch", TRUE, value);
    EXPECT_TRUE(value);
    u.getBoolean(L"Hatch", FALSE, value);
    EXPECT_FALSE(value);
    EXPECT_NE(line().find(L"\nHatch <1>: 0\n"), std::wstring::npos);
}

TEST_F(Prompts, TextPromptsEndOnCancelAndEndOfInput) {
    CString value;
    host->answers({L"Meeting Room 2", L""});
    EXPECT_TRUE(u.getString(L"Room name", L"Office", value));
    EXPECT_EQ(value, L"Meeting Room 2");
    EXPECT_EQ(line(), L"\nRoom name <Office>: Meeting Room 2\n");
    EXPECT_TRUE(u.getString(L"Room name", L"Office", value));
    EXPECT_EQ(value, L"Office");

    // A cancel ends the prompt at once: no second question, the default stands.
    host->clearCommandLine();
    host->answers({L"*Cancel*", L"never read"});
    EXPECT_FALSE(u.getString(L"Room name", L"Office", value));
    EXPECT_EQ(value, L"Office");
    EXPECT_EQ(line().find(L"Invalid input!"), std::wstring::npos);
    EXPECT_EQ(host->pendingAnswers(), 1u);
    ed::input().clear();
    EXPECT_FALSE(u.getString(L"Room name", L"Office", value));

    BOOL cancelled = TRUE;
    host->answers({std::wstring(300, L'x'), L"*Cancel*"});
    EXPECT_EQ(u.getString(L"Floor", &cancelled).GetLength(), CAcadUtilities::answerBufferSize - 1);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(u.getString(L"Floor", &cancelled), L"");
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(u.getString(L"Floor"), L"");
}

class Picks : public Prompts {
protected:
    void SetUp() override {
        Prompts::SetUp();
        line1 = host->addEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
        line2 = host->addEntity(new AcDbLine(AcGePoint3d(0, 5, 0), AcGePoint3d(10, 5, 0)));
        circle = host->addEntity(new AcDbCircle(AcGePoint3d(50, 50, 0), AcGeVector3d(0, 0, 1), 5));
        boundary = host->addRectangle(100, 100, 200, 150);
        host->defineBlock(L"DESK", {new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0))});
        host->defineBlock(L"ROOM-7", {drawingtest::polyline({{0, 0, 0}, {40, 0, 0}, {40, 30, 0}, {0, 30, 0}})});
        desk = host->insertBlock(L"DESK", AcGePoint3d(20, 20, 0));
        room = host->insertBlock(L"ROOM-7", AcGePoint3d(300, 300, 0));
        host->clearCommandLine();
    }
    AcDbObjectId line1, line2, circle, boundary, desk, room;
};

TEST_F(Picks, SelectionLeavesInsertsOut) {
    AcDbObjectIdArray ids;
    host->answer(pick(line1) + L" " + pick(desk) + L" " + pick(line2));
    EXPECT_EQ(u.selectObjectIds(ids, L"Select areas to subtract"), 1);
    ASSERT_EQ(ids.length(), 2);
    EXPECT_EQ(ids[0], line1);
    EXPECT_EQ(ids[1], line2);
    EXPECT_EQ(ed::openSelectionSets(), 0);
    EXPECT_EQ(db()->openObjectCount(), 0);

    host->answer(L"*Cancel*");
    EXPECT_EQ(u.selectObjectIds(ids, L"Select"), 1);
    EXPECT_EQ(ids.length(), 2);
    EXPECT_EQ(u.selectObjectIds(ids, L"Select"), 1); // end of input
    EXPECT_EQ(ed::openSelectionSets(), 0);
}

TEST_F(Picks, ClassCheckedPickAsksAgainAndEndsOnCancel) {
    AcDbObjectId id;
    host->answers({pick(line1), pick(boundary)});
    EXPECT_EQ(u.selectObjectId(id, L"Select a boundary", L"AcDbPolyline"), 0);
    EXPECT_EQ(id, boundary);
    EXPECT_NE(line().find(L"Invalid selection - AcDbLine.\n"), std::wstring::npos);
    EXPECT_NE(line().find(L"\nSelect a boundary\n"), std::wstring::npos);

    host->clearCommandLine();
    host->answers({pick(circle), L"*Cancel*"});
    EXPECT_EQ(u.selectObjectId(id, L"", L"AcDbPolyline"), 16);
    EXPECT_EQ(id, circle); // the rejected pick stays
    EXPECT_NE(line().find(L"\nPlease select an object\n"), std::wstring::npos);
    EXPECT_NE(line().find(L"Invalid selection - AcDbCircle.\n"), std::wstring::npos);
    EXPECT_NE(line().find(L"Cancelled by User.\n"), std::wstring::npos);

    // The end of input cancels as well.
    EXPECT_EQ(u.selectObjectId(id, L"Select", L"AcDbPolyline"), 16);
    EXPECT_EQ(db()->openObjectCount(), 0);
}

TEST_F(Picks, PlainPickAndSpacePick) {
    AcDbObjectId id;
    host->answer(pick(circle));
    EXPECT_EQ(u.selectObjectId(id, L"Pick"), 1);
    EXPECT_EQ(id, circle);
    host->answer(L"*Cancel*");
    EXPECT_EQ(u.selectObjectId(id, L"Pick"), 0);

    AcDbHandle handle;
    host->answers({pick(line1), pick(room)});
    EXPECT_EQ(u.selectSpace(handle), 0);
    EXPECT_EQ(handle, room.handle());
    host->answer(L"*Cancel*");
    EXPECT_EQ(u.selectSpace(handle), 13);
}

TEST_F(Picks, KelmoBlockPickRefusesOtherEntitiesAndPlainInserts) {
    host->answers({pick(circle), L"*Cancel*"});
    EXPECT_EQ(u.userSelectKelmoBlock(doc(), nullptr), 0);
    EXPECT_NE(line().find(L"\nPlease select a Kelmo Space\n"), std::wstring::npos);
    EXPECT_NE(line().find(L"Invalid selection.\n"), std::wstring::npos);
    EXPECT_NE(line().find(L"Cancelled by User.\n"), std::wstring::npos);

    // An ordinary insert is no space: nothing is read from it.
    host->answer(pick(desk));
    EXPECT_EQ(u.userSelectKelmoBlock(doc(), nullptr), 0);
    EXPECT_EQ(db()->openObjectCount(), 0);
}

TEST_F(Picks, KelmoBlockPickReadsTheSpace) {
    CBlockDWG block;
    host->answer(pick(room));
    EXPECT_EQ(u.userSelectKelmoBlock(doc(), &block), 1);
    EXPECT_EQ(block.getHandle(), room.handle());
    EXPECT_EQ(db()->openObjectCount(), 0);
}

TEST_F(Prompts, BackgroundColourIsAvoided) {
    AcColorSettings saved{};
    ASSERT_TRUE(acedGetCurrentColors(&saved));
    AcColorSettings paper = saved;
    paper.dwGfxModelBkColor = 0x00FFFFFF;
    acedSetCurrentColors(&paper);
    AcCmColor white;
    white.setRGB(255, 255, 255);
    u.checkBackgroundColour(white);
    EXPECT_EQ(white.red(), 0);
    EXPECT_EQ(white.green(), 0);
    EXPECT_EQ(white.blue(), 0);
    AcCmColor red;
    red.setRGB(255, 0, 0);
    u.checkBackgroundColour(red);
    EXPECT_EQ(red.red(), 255);
    EXPECT_EQ(red.green(), 0);

    // The editor's own colours decide: over the host's black model space white stays, and a
    // blue-grey background (blue in the third byte) turns into its opposite.
    acedSetCurrentColors(&saved);
    white.setRGB(255, 255, 255);
    u.checkBackgroundColour(white);
    EXPECT_EQ(white.red(), 255);
    paper.dwGfxModelBkColor = 0x00804020;
    acedSetCurrentColors(&paper);
    AcCmColor same;
    same.setRGB(0x20, 0x40, 0x80);
    u.checkBackgroundColour(same);
    EXPECT_EQ(same.red(), 255 - 0x20);
    EXPECT_EQ(same.blue(), 255 - 0x80);
    acedSetCurrentColors(&saved);
}

TEST_F(Prompts, UserAndWorldCoordinates) {
    db()->setUcs(AcGePoint3d(100, 50, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0));
    AcGePoint3d world = u.convertUCSToWCS(AcGePoint3d(10, 0, 0));
    EXPECT_NEAR(world.x, 100, 1e-9);
    EXPECT_NEAR(world.y, 60, 1e-9);
    AcGePoint3d back = u.convertWCSToUCS(world);
    EXPECT_NEAR(back.x, 10, 1e-9);
    EXPECT_NEAR(back.y, 0, 1e-9);
}

} // namespace
