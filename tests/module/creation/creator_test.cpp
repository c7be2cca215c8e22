// The block creator in-process: its text boxes, creation sessions on picked polylines, the
// duplicate-name question, the Options menu, the area buttons and a drawing closed or left behind.
#include "CreationTestSupport.h"

#include "cad/app/ApDocument.h"
#include "cad/editor/EdInput.h"
#include "dialogs/PresBlockCreation.h"
#include "support/CadDrawing.h"

namespace creationtest {
namespace {

class Creator : public DialogFixture {
protected:
    HWND open() {
        auto* dialog = new CPresBlockCreation(nullptr);
        dialog->setHostDirectory(L"C:\\CadHost");
        dialog->setAcadWindow(AfxGetMainWnd());
        EXPECT_TRUE(dialog->Create(CPresBlockCreation::IDD));
        return dialog->GetSafeHwnd();
    }
    static void close(HWND dialog) { EXPECT_TRUE(DialogDriver::click(dialog, L"2")); }

    // One session: Start, then the answers to its prompts, then a cancelled pick.
    void session(HWND dialog, std::initializer_list<std::wstring> answers) {
        host->answers(answers);
        host->answer(L"*Cancel*");
        EXPECT_TRUE(DialogDriver::click(dialog, L"3"));
        // What is left is the escape the session sends to end a prompt still waiting.
        EXPECT_EQ(host->pendingAnswers(), 1u) << said();
        ed::input().clear();
    }

    std::vector<AcDbObjectId> inserts() const {
        std::vector<AcDbObjectId> found;
        AcDbBlockTableRecord* model = nullptr;
        EXPECT_EQ(acdbOpenObject(model, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
        for (const AcDbObjectId& id : model->entityIds()) {
            AcDbBlockReference* reference = nullptr;
            if (id.isErased() || acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
            found.push_back(id);
            reference->close();
        }
        model->close();
        return found;
    }
    static std::wstring attribute(AcDbObjectId insert, const std::wstring& tag) {
        for (const auto& value : kelmo_test::cad::attributesOf(insert))
            if (value.tag == tag) return value.text;
        return L"<none>";
    }
    static std::vector<AcGePoint3d> vertices(AcDbObjectId id) {
        AcDbPolyline* polyline = nullptr;
        EXPECT_EQ(acdbOpenObject(polyline, id, AcDb::kForRead), Acad::eOk);
        std::vector<AcGePoint3d> points;
        for (unsigned i = 0; polyline && i < polyline->numVerts(); ++i) {
            AcGePoint3d point;
            polyline->getPointAt(i, point);
            points.push_back(point);
        }
        if (polyline) polyline->close();
        return points;
    }
};

// What is typed stays as typed (never stripped into another number); each value that reads whole within
// the labels' limits is saved as it is typed.
TEST_F(Creator, TheTextBoxesKeepWhatIsTypedAndSaveEachValueThatReadsWhole) {
    HWND dialog = open();
    EXPECT_EQ(controlText(dialog, IDC_CREATE_TEXT_SIZE), L"250");
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L"1.2.5"));
    EXPECT_EQ(controlText(dialog, IDC_CREATE_TEXT_SIZE), L"1.2.5");
    EXPECT_EQ(readPrefs(), kelmo_test::defaultPrefsFile);
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L"1.25"));
    EXPECT_TRUE(DialogDriver::typeText(dialog, L"341", L"x2"));
    EXPECT_EQ(controlText(dialog, IDC_CREATE_TEXT_SCALE), L"1x2");
    EXPECT_TRUE(DialogDriver::setText(dialog, L"341", L"12"));
    EXPECT_TRUE(DialogDriver::setText(dialog, L"342", L""));
    EXPECT_EQ(controlText(dialog, IDC_CREATE_TEXT_ROTATION), L"");
    EXPECT_TRUE(DialogDriver::setText(dialog, L"342", L"-30"));
    std::string expected = with(kelmo_test::defaultPrefsFile, "250.00", "1.25");
    expected = with(expected, "textScale\r\n1.00", "textScale\r\n12.00");
    expected = with(expected, "textRotation\r\n0.00", "textRotation\r\n-30.00");
    EXPECT_EQ(readPrefs(), expected);
    // Enter keeps the dialog; Escape closes it.
    EXPECT_TRUE(DialogDriver::enter(dialog));
    EXPECT_TRUE(has(DialogDriver::dump(dialog), L"modeless visible"));
    EXPECT_TRUE(DialogDriver::escape(dialog));
    EXPECT_TRUE(DialogDriver::dialogs().empty());
}

TEST_F(Creator, ASessionMakesNumberedSpacesWithTheirAreaLabels) {
    AcDbObjectId first = host->addRectangle(0, 0, 4000, 3000);
    AcDbObjectId second = host->addRectangle(5000, 0, 10000, 4000);
    HWND dialog = open();
    session(dialog, {handle(first), L"2000,1500", handle(second), L"7000,2000"});
    const std::vector<AcDbObjectId> made = inserts();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(attribute(made[0], L"NAME"), L"Room 1");
    EXPECT_EQ(attribute(made[0], L"AREA"), L"12.00sq.m.");
    EXPECT_EQ(attribute(made[0], L"AUX"), L" ");
    EXPECT_EQ(attribute(made[1], L"NAME"), L"Room 2");
    EXPECT_FALSE(db()->blockId(L"ROOM-2").isNull());
    EXPECT_EQ(controlText(dialog, IDC_CREATE_NEXT_NAME), L"Room 3");
    EXPECT_TRUE(has(said(), L"\nBlock Creation Session Started\n"));
    EXPECT_TRUE(has(said(), L"Block Created Successfully\n\n\nPlease select a polyline:\n"));
    EXPECT_TRUE(has(said(), L"Cancelled by User.\n\nBlock Creation Session Ended\n"));
    EXPECT_EQ(doc()->lockCount(), 0);
    close(dialog);
}

TEST_F(Creator, ImperialUnitsLabelTheAreaInSquareFeet) {
    writePrefs(with(kelmo_test::defaultPrefsFile, "units\r\n0", "units\r\n1"));
    db()->setLunits(4);
    // 30 by 60 inches is 12.5 square feet.
    AcDbObjectId boundary = host->addRectangle(0, 0, 30, 60);
    HWND dialog = open();
    session(dialog, {handle(boundary), L"10,10"});
    ASSERT_EQ(inserts().size(), 1u);
    EXPECT_EQ(attribute(inserts()[0], L"AREA"), L"12.50sq.ft.");
    close(dialog);
}

TEST_F(Creator, ACancelledLabelPointOrAnOpenPolylineMakesNothing) {
    AcDbObjectId open_ = host->addEntity(rectangle(0, 0, 10, 10, false));
    AcDbObjectId closed = host->addRectangle(20, 0, 30, 10);
    HWND dialog = open();
    session(dialog, {handle(open_), handle(closed), L"*Cancel*"});
    EXPECT_TRUE(inserts().empty());
    EXPECT_TRUE(has(said(), L"\nInvalid Selection - Polyline is not closed\n\n"));
    EXPECT_TRUE(has(said(), L"Enter Attribute points: \n\nPlease select a polyline:\n")) << said();
    close(dialog);
}

// No label is made that cannot be seen: an empty size or a scale of -0 is refused at Start, as the block
// editor refuses it, and nothing is made or saved until it is put right.
TEST_F(Creator, AZeroTextSizeOrScaleIsRefusedAtStartAndNothingIsMadeUntilItIsPutRight) {
    AcDbObjectId boundary = host->addRectangle(0, 0, 4000, 3000);
    HWND dialog = open();
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L""));
    EXPECT_TRUE(DialogDriver::setText(dialog, L"341", L"-0"));
    host->answers({handle(boundary), L"2000,1500"});
    EXPECT_TRUE(DialogDriver::click(dialog, L"3"));
    EXPECT_FALSE(has(said(), L"Block Creation Session Started")) << said();
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L"300"));
    EXPECT_TRUE(DialogDriver::click(dialog, L"3"));
    EXPECT_FALSE(has(said(), L"Block Creation Session Started")) << said();
    EXPECT_TRUE(inserts().empty());
    EXPECT_EQ(readPrefs(), with(kelmo_test::defaultPrefsFile, "250.00", "300.00"));
    ed::input().clear();
    EXPECT_TRUE(DialogDriver::setText(dialog, L"341", L"1"));
    session(dialog, {handle(boundary), L"2000,1500"});
    ASSERT_EQ(inserts().size(), 1u);
    AcDbBlockReference* reference = nullptr;
    ASSERT_EQ(acdbOpenObject(reference, inserts()[0], AcDb::kForRead), Acad::eOk);
    for (const AcDbObjectId& id : reference->attributeIds()) {
        AcDbAttribute* text = nullptr;
        ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(text->height(), 300.0);
        EXPECT_EQ(text->widthFactor(), 1.0);
        text->close();
    }
    reference->close();
    close(dialog);
}

TEST_F(Creator, TheDuplicateNameQuestionAnsweredNoChangesNothingAndYesMakesASecondSpace) {
    space(L"ROOM-1", L"Room 1");
    AcDbObjectId boundary = host->addRectangle(5000, 0, 9000, 3000);
    HWND dialog = open();
    EXPECT_EQ(controlText(dialog, IDC_CREATE_NEXT_NAME), L"Room 2");
    EXPECT_TRUE(DialogDriver::setText(dialog, L"311", L"Room 1"));
    host->answerMessageBox(IDNO);
    host->clearCommandLine();
    session(dialog, {handle(boundary), L"6000,1000"});
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->messageBoxes()[0].caption, L"Duplicate Space Name");
    EXPECT_EQ(host->messageBoxes()[0].text,
              L"Room Name already exists in the drawing.\n\nDo you want another space of the same name creating?");
    EXPECT_EQ(host->messageBoxes()[0].type & 0xF, MB_YESNO);
    EXPECT_EQ(inserts().size(), 1u);
    EXPECT_EQ(vertices(boundary)[0], AcGePoint3d(5000, 0, 0));
    EXPECT_TRUE(has(said(), L"Enter Attribute points: \n\nPlease select a polyline:\n")) << said();
    // The name typed is replaced by a freshly proposed one after every pick.
    EXPECT_EQ(controlText(dialog, IDC_CREATE_NEXT_NAME), L"Room 2");

    EXPECT_TRUE(DialogDriver::setText(dialog, L"311", L"Room 1"));
    host->answerMessageBox(IDYES);
    session(dialog, {handle(boundary), L"6000,1000"});
    ASSERT_EQ(inserts().size(), 2u);
    EXPECT_EQ(attribute(inserts()[1], L"NAME"), L"Room 1");
    EXPECT_FALSE(db()->blockId(L"ROOM-2").isNull());
    close(dialog);
}

TEST_F(Creator, ACreationThatFailsLeavesTheBoundaryWhereItWasUnderARotatedUcs) {
    db()->setUcs(AcGePoint3d(1000, 0, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0));
    AcDbObjectId boundary = host->addRectangle(0, 0, 4000, 3000);
    const std::vector<AcGePoint3d> drawn = vertices(boundary);
    HWND dialog = open();
    // Another command takes the proposed name while the dialog is open.
    host->defineBlock(L"ROOM-1", {rectangle(0, 0, 10, 10)});
    session(dialog, {handle(boundary), L"500,-500"});
    EXPECT_TRUE(has(said(), L"Block Already Exists\n"));
    EXPECT_EQ(vertices(boundary), drawn);
    EXPECT_TRUE(inserts().empty());
    EXPECT_EQ(std::wstring(static_cast<CPresBlockCreation*>(CWnd::FromHandle(dialog))->getNextBlockIdentifier()),
              L"ROOM-2");

    // The next one is made, in the user's coordinates.
    session(dialog, {handle(boundary), L"500,-500"});
    ASSERT_EQ(inserts().size(), 1u);
    AcDbBlockReference* reference = nullptr;
    ASSERT_EQ(acdbOpenObject(reference, inserts()[0], AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(reference->position().isEqualTo(AcGePoint3d(1500, 500, 0))) << reference->position().x;
    reference->close();
    close(dialog);
}

TEST_F(Creator, OptionsTakeEveryValueOfThePreferencesDialogOver) {
    HWND dialog = open();
    onDialog([](HWND d) {
        DialogDriver::setText(d, L"291", L"300");
        DialogDriver::setText(d, L"341", L"2.5");
        DialogDriver::setText(d, L"342", L"45");
        DialogDriver::radio(d, L"289");
        DialogDriver::enter(d);
    });
    EXPECT_TRUE(DialogDriver::menu(dialog, ID_TOOLS_OPTIONS));
    EXPECT_TRUE(has(said(), L"Units set to FT\u00B2\n"));
    EXPECT_EQ(controlText(dialog, IDC_CREATE_TEXT_SIZE), L"300");
    EXPECT_EQ(controlText(dialog, IDC_CREATE_TEXT_SCALE), L"2.5");
    EXPECT_EQ(controlText(dialog, IDC_CREATE_TEXT_ROTATION), L"45");
    // The next change saves the new values, not those the dialog held before.
    EXPECT_TRUE(DialogDriver::setText(dialog, L"291", L"350"));
    std::string expected = with(kelmo_test::defaultPrefsFile, "units\r\n0", "units\r\n1");
    expected = with(with(expected, "250.00", "350.00"), "textScale\r\n1.00", "textScale\r\n2.50");
    EXPECT_EQ(readPrefs(), with(expected, "textRotation\r\n0.00", "textRotation\r\n45.00"));
    EXPECT_TRUE(DialogDriver::menu(dialog, ID_FILE_EXIT));
    EXPECT_TRUE(DialogDriver::dialogs().empty());
}

TEST_F(Creator, TheAreaButtonsChangeASpaceAndLeaveTheDocumentOpen) {
    AcDbObjectId room = space(L"ROOM-1", L"Room 1");
    AcDbObjectId column = host->addRectangle(1000, 1000, 2000, 2000);
    HWND dialog = open();
    host->answers({handle(room), host->handleOf(column)});
    EXPECT_TRUE(DialogDriver::click(dialog, L"315", true));
    EXPECT_EQ(acDocManager->documentCount(), 1);
    EXPECT_EQ(acDocManager->curDocument(), doc());
    const std::vector<std::wstring> data = kelmo_test::cad::xDataStrings(room, L"ADE");
    ASSERT_EQ(data.size(), 16u);
    EXPECT_EQ(data[0], L"AREA=11.00sq.m.");
    EXPECT_EQ(data[14], L"HANDLESTOMINUS=" + host->handleOf(column) + L",");
    close(dialog);
}

TEST_F(Creator, ANonCurrentDrawingRefusesTheSessionAndAClosedOneClosesTheDialog) {
    AcApDocument* mine = host->addDocument(L"C:\\Plans\\mine.dxf");
    HWND dialog = open();
    host->addDocument(L"C:\\Plans\\other.dxf");
    EXPECT_TRUE(DialogDriver::click(dialog, L"3"));
    EXPECT_FALSE(has(said(), L"Session Started"));
    acDocManager->closeDocument(mine);
    EXPECT_TRUE(DialogDriver::click(dialog, L"3"));
    ASSERT_EQ(host->messageBoxes().size(), 2u);
    EXPECT_EQ(host->messageBoxes()[0].text,
              L"The drawing \"C:\\Plans\\mine.dxf\" is not the current drawing; make it current to pick in it.");
    EXPECT_EQ(host->messageBoxes()[1].text,
              L"The drawing \"C:\\Plans\\mine.dxf\" has been closed; the dialog working on it closes too.");
    EXPECT_TRUE(DialogDriver::dialogs().empty());
}

TEST_F(Creator, ALockThatFailsSkipsThePicks) {
    HWND dialog = open();
    acDocManager->setLockFailure(Acad::eLockViolation);
    EXPECT_TRUE(DialogDriver::click(dialog, L"3"));
    EXPECT_TRUE(has(said(), L"\nBlock Creation Session Started\n\nBlock Creation Session Ended\n"));
    EXPECT_EQ(controlText(dialog, IDC_CREATE_START), L"Start");
    close(dialog);
}

} // namespace
} // namespace creationtest
