// The hyperlink dialog in-process: picking a block, the rows and their descriptions, writing the
// links to one block or to every block of its kind, and the ways the dialog ends.
#include "CreationTestSupport.h"

#include "cad/editor/EdInput.h"
#include "commands/Brenvik.h"
#include "core/HostCalls.h"
#include "core/Utilities.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"
#include "resources/Resource.h"
#include "support/CadDrawing.h"

namespace creationtest {
namespace {

using Links = std::vector<std::pair<std::wstring, std::wstring>>;

class Hyperlinks : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        for (int i = 0; i < 3; ++i) {
            labs[i] = space(L"ROOM-1", L"Lab " + std::to_wstring(i + 1), 5000.0 * i);
            kelmo_test::cad::setXDataStrings(db(), labs[i], L"ADE", {L"AREA=12.00sq.m.", L"NAME=Lab"});
        }
        host->defineBlock(L"DOOR", {rectangle(0, 0, 900, 50), attributeDefinition(L"NAME", 100)});
        door = host->insertBlock(L"DOOR", AcGePoint3d(0, -2000, 0), 1.0, 0.0, {{L"NAME", L"Door 1"}});
    }

    // The dialog as the command opens it.
    HWND open() {
        blockHyperlink();
        HWND dialog = DialogDriver::find(L"204");
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }
    void pick(HWND dialog, AcDbObjectId id) {
        host->answer(handle(id));
        EXPECT_TRUE(DialogDriver::click(dialog, L"233"));
    }
    void cancel(HWND dialog) {
        EXPECT_TRUE(DialogDriver::click(dialog, L"302"));
        EXPECT_TRUE(DialogDriver::dialogs().empty());
        ed::input().clear();
    }

    static Links linksOf(AcDbObjectId id) {
        AcDbEntity* entity = nullptr;
        EXPECT_EQ(acdbOpenAcDbEntity(entity, id, AcDb::kForRead), Acad::eOk);
        CHyperlinks links(entity);
        entity->close();
        Links result;
        for (int i = 0; i < links.getCount(); ++i)
            result.emplace_back(static_cast<const wchar_t*>(links.getAt(i)->getHref()),
                                static_cast<const wchar_t*>(links.getAt(i)->getDescription()));
        return result;
    }
    void giveLinks(AcDbObjectId id, int count) {
        CHyperlinks links;
        for (int i = 1; i <= count; ++i)
            links.add(new CHyperlink(L"http://plans.example/" + CUtilities::IntToCString(i),
                                     L"Plan " + CUtilities::IntToCString(i)));
        acDocManager->lockDocument(doc());
        AcDbEntity* entity = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(entity, id, AcDb::kForWrite), Acad::eOk);
        links.applyToEntity(entity);
        entity->close();
        acDocManager->unlockDocument(doc());
    }

    AcDbObjectId labs[3];
    AcDbObjectId door;
};

TEST_F(Hyperlinks, TheDialogWaitsForABlockWithOkAndApplyDisabled) {
    HWND dialog = open();
    EXPECT_TRUE(has(said(), L"Kelmo Block Hyperlink 64.04.00.01\nPlease select a block to hyperlink\n"));
    const std::wstring shown = DialogDriver::dump(dialog);
    EXPECT_TRUE(has(shown, L"303 static \"Block not Selected\""));
    EXPECT_TRUE(has(shown, L"1 button \"OK\" disabled"));
    EXPECT_TRUE(has(shown, L"229 button \"Apply\" disabled"));
    // Something that is no block reference changes nothing.
    AcDbObjectId wall = host->addRectangle(0, 0, 10, 10);
    pick(dialog, wall);
    EXPECT_TRUE(has(said(), L"\nSelect a Block:  \n \n"));
    EXPECT_FALSE(has(said(), L"Block Selected"));
    EXPECT_TRUE(has(DialogDriver::dump(dialog), L"229 button \"Apply\" disabled"));
    // Nothing picked.
    host->answer(L"*Cancel*");
    EXPECT_TRUE(DialogDriver::click(dialog, L"233"));
    EXPECT_TRUE(has(said(), L"A new block has not been selected\n"));
    cancel(dialog);
}

TEST_F(Hyperlinks, TheDescriptionFollowsTheAddressUntilOneIsTyped) {
    HWND dialog = open();
    pick(dialog, labs[0]);
    EXPECT_TRUE(has(said(), L"Block Selected\n"));
    EXPECT_EQ(controlText(dialog, IDC_LINK_BLOCK_NAME), L"Lab 1");
    EXPECT_EQ(controlText(dialog, IDC_LINK_HANDLE), host->handleOf(labs[0]));
    EXPECT_TRUE(DialogDriver::typeText(dialog, L"232", L"http://a"));
    EXPECT_EQ(controlText(dialog, IDC_LINK_DESCRIPTION_1), L"http://a");
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L"Floor plan"));
    EXPECT_TRUE(DialogDriver::typeText(dialog, L"232", L"/b"));
    EXPECT_EQ(controlText(dialog, IDC_LINK_DESCRIPTION_1), L"Floor plan");
    // Row four is the fourth address box, whatever its number.
    EXPECT_TRUE(DialogDriver::typeText(dialog, L"230", L"x"));
    EXPECT_EQ(controlText(dialog, IDC_LINK_DESCRIPTION_4), L"x");
    cancel(dialog);
    EXPECT_TRUE(linksOf(labs[0]).empty()) << "Cancel writes nothing";
}

TEST_F(Hyperlinks, ABlockWithSevenLinksShowsFiveAndApplyKeepsAllSeven) {
    giveLinks(labs[1], 7);
    HWND dialog = open();
    pick(dialog, labs[1]);
    EXPECT_EQ(controlText(dialog, IDC_LINK_HREF_5), L"http://plans.example/5");
    EXPECT_EQ(controlText(dialog, IDC_LINK_DESCRIPTION_5), L"Plan 5");
    EXPECT_TRUE(DialogDriver::click(dialog, L"229"));
    EXPECT_TRUE(has(said(), L"1 block affected.\n"));
    // The two not shown follow the five rows.
    const Links links = linksOf(labs[1]);
    ASSERT_EQ(links.size(), 7u);
    EXPECT_EQ(links[6], (std::pair<std::wstring, std::wstring>{L"http://plans.example/7", L"Plan 7"}));
    cancel(dialog);
}

TEST_F(Hyperlinks, RowsWithTheSameAddressStoreOneAndAnEmptyDescriptionBecomesTheAddress) {
    HWND dialog = open();
    pick(dialog, labs[0]);
    EXPECT_TRUE(DialogDriver::setText(dialog, L"232", L"http://x"));
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L""));
    EXPECT_TRUE(DialogDriver::setText(dialog, L"234", L"http://x"));
    EXPECT_TRUE(DialogDriver::setText(dialog, L"292", L"Second"));
    EXPECT_TRUE(DialogDriver::setText(dialog, L"228", L"http://y"));
    EXPECT_TRUE(DialogDriver::click(dialog, L"229"));
    EXPECT_EQ(linksOf(labs[0]), (Links{{L"http://x", L"http://x"}, {L"http://y", L"http://y"}}));
    // The rows show what the block now holds.
    EXPECT_EQ(controlText(dialog, IDC_LINK_HREF_2), L"http://y");
    // Apply with every address empty leaves the block without links.
    for (const wchar_t* row : {L"232", L"234"}) EXPECT_TRUE(DialogDriver::setText(dialog, row, L""));
    EXPECT_TRUE(DialogDriver::click(dialog, L"229"));
    EXPECT_TRUE(linksOf(labs[0]).empty());
    cancel(dialog);
}

TEST_F(Hyperlinks, APlainBlockGetsOnlyTheLinksAndNoSpaceRecord) {
    HWND dialog = open();
    pick(dialog, door);
    EXPECT_EQ(controlText(dialog, IDC_LINK_BLOCK_NAME), L"Door 1");
    const auto before = kelmo_test::cad::attributesOf(door);
    EXPECT_TRUE(DialogDriver::setText(dialog, L"232", L"http://doors.example/1"));
    EXPECT_TRUE(DialogDriver::click(dialog, L"229"));
    EXPECT_EQ(linksOf(door), (Links{{L"http://doors.example/1", L"http://doors.example/1"}}));
    EXPECT_TRUE(kelmo_test::cad::xDataStrings(door, L"ADE").empty());
    const auto after = kelmo_test::cad::attributesOf(door);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].text, before[0].text);
    cancel(dialog);
}

TEST_F(Hyperlinks, AllSimilarBlocksGetTheirOwnCopyAndTheBoxIsClearedAfterwards) {
    HWND dialog = open();
    pick(dialog, labs[2]);
    EXPECT_TRUE(DialogDriver::setText(dialog, L"232", L"http://labs.example"));
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L"Labs"));
    EXPECT_TRUE(DialogDriver::check(dialog, L"296", true));
    EXPECT_TRUE(DialogDriver::click(dialog, L"229"));
    EXPECT_TRUE(has(said(), L"3 block(s) affected.\n"));
    for (AcDbObjectId lab : labs) EXPECT_EQ(linksOf(lab), (Links{{L"http://labs.example", L"Labs"}}));
    EXPECT_TRUE(linksOf(door).empty());
    EXPECT_TRUE(has(DialogDriver::dump(dialog),
                    L"296 checkbox \"Apply changes to all similar blocks\" enabled "
                    L"visible unchecked"));
    cancel(dialog);
}

TEST_F(Hyperlinks, OkAppliesAndClosesAndEscapeCloses) {
    HWND dialog = open();
    pick(dialog, labs[0]);
    EXPECT_TRUE(DialogDriver::setText(dialog, L"232", L"http://ok.example"));
    EXPECT_TRUE(DialogDriver::click(dialog, L"1"));
    EXPECT_EQ(linksOf(labs[0]).size(), 1u);
    EXPECT_TRUE(DialogDriver::dialogs().empty()) << "no hidden dialog is left behind";
    ed::input().clear();

    dialog = open();
    EXPECT_TRUE(DialogDriver::escape(dialog));
    EXPECT_TRUE(DialogDriver::dialogs().empty());
    ed::input().clear();
}

TEST_F(Hyperlinks, WithAnotherDrawingCurrentOneBlockTakesItsLinksButAllOfAKindAreRefused) {
    HWND dialog = open();
    pick(dialog, labs[0]);
    host->addDocument(L"C:\\Plans\\other.dxf");
    EXPECT_TRUE(DialogDriver::setText(dialog, L"232", L"http://x"));
    EXPECT_TRUE(DialogDriver::check(dialog, L"296", true));
    EXPECT_TRUE(DialogDriver::click(dialog, L"229"));
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_TRUE(linksOf(labs[1]).empty());
    EXPECT_TRUE(DialogDriver::check(dialog, L"296", false));
    EXPECT_TRUE(DialogDriver::click(dialog, L"229"));
    EXPECT_EQ(linksOf(labs[0]), (Links{{L"http://x", L"http://x"}}));
    EXPECT_TRUE(linksOf(labs[1]).empty());
    cancel(dialog);
}

TEST_F(Hyperlinks, ADrawingClosedUnderTheDialogClosesItAndAnotherCurrentOneRefusesThePick) {
    AcApDocument* mine = host->addDocument(L"C:\\Plans\\mine.dxf");
    HWND dialog = open();
    host->addDocument(L"C:\\Plans\\other.dxf");
    EXPECT_TRUE(DialogDriver::click(dialog, L"233"));
    EXPECT_FALSE(has(said(), L"Select a Block"));
    acDocManager->closeDocument(mine);
    EXPECT_TRUE(DialogDriver::click(dialog, L"233"));
    ASSERT_EQ(host->messageBoxes().size(), 2u);
    EXPECT_EQ(host->messageBoxes()[0].text,
              L"The drawing \"C:\\Plans\\mine.dxf\" is not the current drawing; make it current to pick in it.");
    EXPECT_EQ(host->messageBoxes()[1].text,
              L"The drawing \"C:\\Plans\\mine.dxf\" has been closed; the dialog working on it closes too.");
    EXPECT_TRUE(DialogDriver::dialogs().empty());
}

} // namespace
} // namespace creationtest
