// The names and numbers the block creator proposes: the next space name from the rooms of the
// drawing, and the next free "ROOM-" identifier from its block definitions.
#include "CreationTestSupport.h"

#include "dialogs/PresBlockCreation.h"

namespace creationtest {
namespace {

struct NameCase {
    const wchar_t* name;
    int increment;
    const wchar_t* next;
};

TEST(Names, TheNextNameIsTheTrailingNumberPlusTheIncrementAsWideAsBefore) {
    const NameCase cases[] = {
        {L"Room 009", 1, L"Room 010"},
        {L"Room 99", 1, L"Room 100"},
        {L"Lab", 1, L"Lab1"},
        {L"Kitchen", 7, L"Kitchen1"},
        {L"Room 1.5", 1, L"Room 1.6"},
        {L"Office 3", 5, L"Office 8"},
        {L"Room ", 1, L"Room 1"},
        {L"B2-07", 100, L"B2-107"},
        {L"0", 1, L"1"},
        // Beyond any integer type: the digits are counted on, not overflowed.
        {L"Room 99999999999999999999", 1, L"Room 100000000000000000000"},
    };
    for (const NameCase& c : cases) {
        CPresBlockCreation dialog;
        dialog.getPreferences()->setInc(c.increment);
        dialog.incrementSpaceName(c.name);
        EXPECT_EQ(std::wstring(dialog.getNextSpaceName()), c.next) << c.name << " + " << c.increment;
    }
}

TEST(Names, TheTrailingNumberIsTheDecimalDigitsAtTheEnd) {
    const std::pair<const wchar_t*, std::int64_t> cases[] = {
        {L"Room 12", 12}, {L"Room 1.5", 5}, {L"Lab", 0}, {L"", 0}, {L"3B", 0}, {L"Room -4", 4}, {L"007", 7},
    };
    for (const auto& [name, expected] : cases) {
        std::int64_t number = -1;
        EXPECT_EQ(CPresBlockCreation::getTrailingNumber(name, number), 1);
        EXPECT_EQ(number, expected) << name;
    }
}

TEST(Names, ABuiltNameIsPaddedToTheWidthWhichGrowsToFit) {
    CPresBlockCreation dialog;
    dialog.setNamePrefix(L"Room ");
    dialog.setNamePrefix(L"");
    dialog.setNumberWidth(3);
    dialog.setNextNumber(7);
    dialog.buildNextSpaceName();
    EXPECT_EQ(std::wstring(dialog.getNextSpaceName()), L"Room 007");
    dialog.setNextNumber(1234);
    dialog.buildNextSpaceName();
    EXPECT_EQ(std::wstring(dialog.getNextSpaceName()), L"Room 1234");
    EXPECT_EQ(dialog.getNumberWidth(), 4);
}

TEST(Names, AreaTypeNamesHoldAreaAndOneOfTheKnownTypes) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"GROSS AREA", true},       {L"LEVEL 2 NET AREA", true}, {L"CELULAR AREA", true},
        {L"OPEN PLAN AREA B", true}, {L"gross area", false},      {L"AREA", false},
        {L"CIRCULATION", false},     {L"Office", false},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(CPresBlockCreation::isAreaTypeName(text), expected) << text;
}

class Proposals : public DialogFixture {
protected:
    // The identifier and the name the dialog proposes on opening; the dialog is closed again.
    std::pair<std::wstring, std::wstring> proposed() {
        auto* dialog = new CPresBlockCreation(nullptr);
        dialog->setHostDirectory(L"C:\\CadHost");
        EXPECT_TRUE(dialog->Create(CPresBlockCreation::IDD));
        std::pair<std::wstring, std::wstring> result{static_cast<const wchar_t*>(dialog->getNextBlockIdentifier()),
                                                     controlText(dialog->GetSafeHwnd(), IDC_CREATE_NEXT_NAME)};
        EXPECT_TRUE(DialogDriver::click(dialog->GetSafeHwnd(), L"2"));
        return result;
    }
};

TEST_F(Proposals, ADrawingWithoutRoomsProposesRoomOneAsRoomDashOne) {
    EXPECT_EQ(proposed(), std::make_pair(std::wstring(L"ROOM-1"), std::wstring(L"Room 1")));
}

TEST_F(Proposals, TheNextIdentifierFollowsTheHighestRoomDefinitionWhateverItsCase) {
    host->defineBlock(L"ROOM-3", {rectangle(0, 0, 10, 10)});
    host->defineBlock(L"room-7", {rectangle(0, 0, 10, 10)});
    host->defineBlock(L"ROOM-GROSS_AREA", {rectangle(0, 0, 10, 10)});
    host->defineBlock(L"ROOMS-12", {rectangle(0, 0, 10, 10)});
    host->defineBlock(L"X-ROOM-20", {rectangle(0, 0, 10, 10)});
    EXPECT_EQ(proposed().first, L"ROOM-8");
}

TEST_F(Proposals, AnIdentifierAtTheLargestNumberIsNotCountedPast) {
    host->defineBlock(L"ROOM-99999999999", {rectangle(0, 0, 10, 10)});
    EXPECT_EQ(proposed().first, L"ROOM-2147483647");
}

TEST_F(Proposals, TheHighestRoomNumberGivesTheNextNameAndTheLaterOfEqualNumbersWins) {
    space(L"ROOM-1", L"Room 5");
    space(L"ROOM-2", L"Lab 5", 5000);
    // Gross areas are no rooms.
    space(L"ROOM-GROSS_AREA", L"Floor 9", 10000);
    EXPECT_EQ(proposed(), std::make_pair(std::wstring(L"ROOM-3"), std::wstring(L"Lab 6")));
}

TEST_F(Proposals, RoomsInTheOtherOrderProposeTheOtherName) {
    space(L"ROOM-1", L"Lab 5");
    space(L"ROOM-2", L"Room 5", 5000);
    EXPECT_EQ(proposed().second, L"Room 6");
}

TEST_F(Proposals, TheIncrementOfThePreferencesCountsOnFromAPaddedNumber) {
    writePrefs(with(kelmo_test::defaultPrefsFile, "inc\r\n1", "inc\r\n5"));
    space(L"ROOM-1", L"Office 003");
    EXPECT_EQ(proposed().second, L"Office 008");
}

} // namespace
} // namespace creationtest
