// The editor and the block dialog on a room built in the test's drawing: the units the block dialog
// shows under imperial preferences, and failures: each handler shows the failure in the error box and
// the dialog stays as it was, a failed OK or Apply keeping the user's edits.
#include <gtest/gtest.h>

#include "classlib/DialogDriver.h"
#include "dialogs/PresBrenvik.h"
#include "module/model/ModelTestSupport.h"
#include "support/EntryFixture.h"

namespace {

using classlib::DialogDriver;

class EditorOnARoom : public kelmo_test::ModuleFixture {
protected:
    void SetUp() override {
        ModuleFixture::SetUp();
        writePrefs(prefs());
        modeltest::defineRoom(*host, L"ROOM-1", 4000, 3000);
        room = host->insertBlock(L"ROOM-1", AcGePoint3d(0, 0, 0), 1.0, 0.0,
                                 {{L"NAME", L"Lab"}, {L"AREA", L"12.00sq.m."}, {L"AUX", L""}});
        modeltest::setXData(db(), room, L"ADE", {L"AREA=12.00sq.m.", L"PERIMETER=14.00m.", L"NAME=Lab"});
        editor = new CPresBrenvik(nullptr);
        editor->setHostDirectory(L"C:\\CadHost");
        ASSERT_TRUE(editor->Create());
        editor->ShowWindow(SW_SHOWNORMAL);
    }
    void TearDown() override {
        acDocManager->setLockFailure(Acad::eOk);
        for (HWND dialog : DialogDriver::dialogs()) DialogDriver::escape(dialog, true);
        // The editor is only hidden by closing; nobody else holds it.
        if (editor) editor->OnCmdClose();
        delete editor;
        ModuleFixture::TearDown();
    }
    virtual std::string prefs() const { return kelmo_test::defaultPrefsFile; }
    std::wstring lastBox() const {
        return host->messageBoxes().empty() ? std::wstring() : host->messageBoxes().back().caption;
    }
    HWND blockDialog() const { return DialogDriver::find(L"201"); }
    // The room's extended data strings, joined.
    std::wstring data() const {
        std::wstring joined;
        for (const std::wstring& text : modeltest::xDataStrings(room, L"ADE")) joined += text + L";";
        return joined;
    }
    bool visible(HWND dialog) const { return dialog && CWnd::FromHandle(dialog)->IsWindowVisible(); }

    AcDbObjectId room;
    CPresBrenvik* editor = nullptr;
};

TEST_F(EditorOnARoom, AFailedOkOrApplyKeepsTheBlockDialogOpenWithItsEdits) {
    ASSERT_TRUE(DialogDriver::doubleClick(*editor, L"246", L"Lab"));
    HWND dialog = blockDialog();
    ASSERT_TRUE(visible(dialog));
    ASSERT_TRUE(DialogDriver::setText(dialog, L"203", L"Lab 2"));
    for (const wchar_t* button : {L"1", L"284"}) {
        SCOPED_TRACE(std::wstring(button).size());
        const size_t boxes = host->messageBoxes().size();
        acDocManager->setLockFailure(Acad::eLockViolation);
        ASSERT_TRUE(DialogDriver::click(dialog, button));
        EXPECT_EQ(host->messageBoxes().size(), boxes + 1);
        EXPECT_EQ(lastBox(), L"Error Detected.");
        EXPECT_TRUE(visible(dialog));
        EXPECT_NE(DialogDriver::dump(dialog).find(L"203 edit \"Lab 2\""), std::wstring::npos);
    }
    EXPECT_NE(data().find(L";NAME=Lab;"), std::wstring::npos) << data();
    // Once the drawing takes it, OK writes and ends the dialog.
    ASSERT_TRUE(DialogDriver::click(dialog, L"1"));
    EXPECT_EQ(blockDialog(), nullptr);
    EXPECT_NE(data().find(L";NAME=Lab 2;"), std::wstring::npos) << data();
    EXPECT_TRUE(editor->IsWindowVisible());
}

TEST_F(EditorOnARoom, AListedSpaceThatIsGoneIsReportedWhenChosen) {
    // The list is not refreshed when the spaces are gathered again for a change of units.
    {
        acDocManager->lockDocument(doc());
        AcDbEntity* entity = nullptr;
        ASSERT_EQ(acdbOpenObject(entity, room, AcDb::kForWrite), Acad::eOk);
        entity->erase();
        entity->close();
        acDocManager->unlockDocument(doc());
    }
    editor->convertBlocksToPreferenceUnits();
    ASSERT_TRUE(DialogDriver::doubleClick(*editor, L"246", L"Lab"));
    EXPECT_EQ(lastBox(), L"Error Detected.");
    EXPECT_EQ(blockDialog(), nullptr);
    EXPECT_TRUE(editor->IsWindowVisible());
}

class ImperialEditor : public EditorOnARoom {
protected:
    std::string prefs() const override {
        std::string text = kelmo_test::defaultPrefsFile;
        return text.replace(text.find("units\r\n0"), 8, "units\r\n1");
    }
};

TEST_F(ImperialEditor, AMetricSpaceIsConvertedAndASpaceOfUnknownUnitsIsOnlyLabelled) {
    // A second room whose stored area carries no unit.
    AcDbObjectId bare = host->insertBlock(L"ROOM-1", AcGePoint3d(10000, 0, 0), 1.0, 0.0, {{L"NAME", L"Store"}});
    modeltest::setXData(db(), bare, L"ADE", {L"AREA=12.00", L"PERIMETER=14.00", L"NAME=Store"});
    ASSERT_TRUE(DialogDriver::select(*editor, L"248", L"Rooms/Spaces")); // gathers the new room too
    struct Case {
        const wchar_t *item, *area, *perimeter;
    };
    const Case cases[] = {{L"Lab", L"219 edit \"129.17\"", L"218 edit \"45.93\""},
                          {L"Store", L"219 edit \"12.00\"", L"218 edit \"14.00\""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.item).size());
        ASSERT_TRUE(DialogDriver::doubleClick(*editor, L"246", c.item));
        const std::wstring shown = DialogDriver::dump(blockDialog());
        EXPECT_NE(shown.find(c.area), std::wstring::npos) << shown;
        EXPECT_NE(shown.find(c.perimeter), std::wstring::npos) << shown;
        EXPECT_NE(shown.find(L"313 static \"ft\u00B2\""), std::wstring::npos) << shown;
        ASSERT_TRUE(DialogDriver::escape(blockDialog()));
    }
}

} // namespace
