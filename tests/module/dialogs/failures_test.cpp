// The editor and the block dialog when the drawing refuses them: each handler shows the failure in
// the error box and the dialog stays as it was, a failed OK or Apply keeping the user's edits.
#include <gtest/gtest.h>

#include "classlib/DialogDriver.h"
#include "dialogs/PresBrenvik.h"
#include "module/model/ModelTestSupport.h"
#include "support/EntryFixture.h"

namespace {

using classlib::DialogDriver;

class Failures : public kelmo_test::ModuleFixture {
protected:
    void SetUp() override {
        ModuleFixture::SetUp();
        writePrefs(kelmo_test::defaultPrefsFile);
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

TEST_F(Failures, AFailedOkOrApplyKeepsTheBlockDialogOpenWithItsEdits) {
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

TEST_F(Failures, AListedSpaceThatIsGoneIsReportedWhenChosen) {
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

} // namespace
