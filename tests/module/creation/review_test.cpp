// The block creator used with values typed into its boxes that no label can be drawn with.
#include "CreationTestSupport.h"

#include "cad/editor/EdInput.h"
#include "dialogs/PresBlockCreation.h"
#include "support/CadDrawing.h"

namespace creationtest {
namespace {

class Review : public DialogFixture {
protected:
    // The space block made last.
    AcDbObjectId lastInsert() const {
        AcDbObjectId last;
        AcDbBlockTableRecord* model = nullptr;
        EXPECT_EQ(acdbOpenObject(model, db()->modelSpaceId(), AcDb::kForRead), Acad::eOk);
        for (const AcDbObjectId& id : model->entityIds()) {
            AcDbBlockReference* reference = nullptr;
            if (id.isErased() || acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
            last = id;
            reference->close();
        }
        model->close();
        return last;
    }
};

TEST_F(Review, ALabelSizeOrScaleTooLargeToDrawIsRepairedAtThePickAndSaved) {
    const struct {
        const wchar_t* size;
        const wchar_t* scale;
        double height, widthFactor;
        const char *savedSize, *savedScale;
    } cases[] = {
        // Typed as "1e29": the letter goes, the digits stay.
        {L"300", L"99999999999999999999999999999", 300.0, 1.0, "300.00", "1.00"},
        {L"300", L"100.5", 300.0, 1.0, "300.00", "1.00"},
        {L"1000001", L"0.8", 1.0, 0.8, "1.00", "0.80"},
        // The largest taken stay as typed.
        {L"1000000", L"100", 1000000.0, 100.0, "1000000.00", "100.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.savedSize) + " " + c.savedScale);
        AcDbObjectId boundary = host->addRectangle(0, 0, 4000, 3000);
        auto* creator = new CPresBlockCreation(nullptr);
        creator->setHostDirectory(L"C:\\CadHost");
        creator->setAcadWindow(AfxGetMainWnd());
        ASSERT_TRUE(creator->Create(CPresBlockCreation::IDD));
        HWND dialog = creator->GetSafeHwnd();
        EXPECT_TRUE(DialogDriver::setText(dialog, L"291", c.size));
        EXPECT_TRUE(DialogDriver::setText(dialog, L"341", c.scale));
        host->answers({handle(boundary), L"2000,1500", L"*Cancel*"});
        EXPECT_TRUE(DialogDriver::click(dialog, L"3"));
        ed::input().clear();
        EXPECT_TRUE(has(said(), L"Block Created Successfully")) << said();

        AcDbBlockReference* reference = nullptr;
        ASSERT_EQ(acdbOpenObject(reference, lastInsert(), AcDb::kForRead), Acad::eOk);
        for (const AcDbObjectId& id : reference->attributeIds()) {
            AcDbAttribute* text = nullptr;
            ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
            EXPECT_EQ(text->height(), c.height);
            EXPECT_EQ(text->widthFactor(), c.widthFactor);
            text->close();
        }
        reference->close();
        EXPECT_EQ(readPrefs(), with(with(kelmo_test::defaultPrefsFile, "250.00", c.savedSize), "textScale\r\n1.00",
                                    std::string("textScale\r\n") + c.savedScale));
        EXPECT_TRUE(DialogDriver::click(dialog, L"2"));
    }
}

} // namespace
} // namespace creationtest
