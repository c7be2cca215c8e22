// The block creator used with values typed into its boxes that no label can be drawn with, and the
// hyperlink dialog left open while the space it picked is edited or deleted.
#include "CreationHost.h"
#include "CreationTestSupport.h"

#include "cad/editor/EdInput.h"
#include "dialogs/PresBlockCreation.h"
#include "support/CadDrawing.h"

namespace creationtest {
namespace {

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

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

// A size or scale too large to draw is refused at Start, nothing made and the preferences keeping the
// last value taken; the largest taken are made and saved as typed.
TEST_F(Review, ALabelSizeOrScaleTooLargeToDrawIsRefusedAndTheLargestTakenAreMadeAndSaved) {
    const struct {
        const wchar_t* size;
        const wchar_t* scale;
        bool made;
        const char *savedSize, *savedScale;
    } cases[] = {
        // "1e29" typed without its letter: never read as another number.
        {L"300", L"99999999999999999999999999999", false, "300.00", "1.00"},
        {L"300", L"100.5", false, "300.00", "1.00"},
        {L"1000001", L"0.8", false, "250.00", "0.80"},
        {L"1000000", L"100", true, "1000000.00", "100.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.savedSize) + " " + c.savedScale);
        writePrefs(kelmo_test::defaultPrefsFile);
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
        EXPECT_EQ(has(said(), L"Block Created Successfully"), c.made) << said();
        if (c.made) {
            AcDbBlockReference* reference = nullptr;
            ASSERT_EQ(acdbOpenObject(reference, lastInsert(), AcDb::kForRead), Acad::eOk);
            for (const AcDbObjectId& id : reference->attributeIds()) {
                AcDbAttribute* text = nullptr;
                ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForRead), Acad::eOk);
                EXPECT_EQ(text->height(), 1000000.0);
                EXPECT_EQ(text->widthFactor(), 100.0);
                text->close();
            }
            reference->close();
        }
        EXPECT_EQ(readPrefs(), with(with(kelmo_test::defaultPrefsFile, "250.00", c.savedSize), "textScale\r\n1.00",
                                    std::string("textScale\r\n") + c.savedScale));
        EXPECT_TRUE(DialogDriver::click(dialog, L"2"));
    }
}

TEST_F(CreationHost, LinksAppliedAfterTheSpaceWasEditedKeepTheEditAndADeletedSpaceIsReported) {
    Outcome r = run("floor_links.dxf",
                    "mbh\ndlg click 233\n#3C\ndlg type 234 http://plans.example/lab1\n"
                    // The editor renames the space while the hyperlink dialog stays open.
                    "mbe\ndlg @210 dblclick 246 Lab 1\ndlg @201 set 203 Lab One\ndlg @201 click 1\n"
                    "dlg @210 click 286\n"
                    "dlg click 229\nSAVEAS linked.dxf\n"
                    "mdb\n#3C\ndlg click 229\nok\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // the deleted space is an error
    const std::string saved = dump("linked.dxf");
    const size_t at = saved.find("3C|ROOM-1|");
    ASSERT_NE(at, std::string::npos) << saved;
    const std::string lab = saved.substr(at, saved.find('\n', at) - at);
    EXPECT_TRUE(has(lab, "|NAME=Lab One@")) << lab;
    EXPECT_TRUE(has(lab, ";NAME=Lab One;")) << lab;
    EXPECT_TRUE(has(lab, "|LINKS:http://old.example/lab1,Old plan,,http://plans.example/lab1,")) << lab;
    EXPECT_TRUE(has(r.out, "dlg click 229\n1 block affected.\n")) << r.out;
    // The deleted space is reported, and not counted as linked.
    EXPECT_TRUE(has(r.out, "[Error Detected.] HyperPres::CHyperPres::hyperlinkBlock\n")) << r.out;
    EXPECT_EQ(r.out.find("1 block affected.", r.out.find("Command: mdb")), std::string::npos) << r.out;
}

TEST_F(CreationHost, ASpaceOnALockedLayerIsReportedAndNotCountedAsLinked) {
    // The second lab moved onto a locked layer.
    const std::string lock = "import ezdxf; d = ezdxf.readfile('" + (floors / "floor_links.dxf").string() +
                             "'); d.layers.add('LOCKED').lock(); d.entitydb['42'].dxf.layer = 'LOCKED'; d.saveas('" +
                             (floors / "floor_locked.dxf").string() + "')";
    ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + lock + "\"").c_str()), 0);
    Outcome r = run("floor_locked.dxf",
                    "mbh\ndlg click 233\n#42\ndlg type 234 http://plans.example/lab2\ndlg click 229\nok\n"
                    "dlg check 296 1\ndlg click 229\nok\nSAVEAS linked.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // the locked one is an error
    EXPECT_TRUE(has(r.out, "dlg click 229\n[Error Detected.] HyperPres::CHyperPres::hyperlinkBlock\n")) << r.out;
    EXPECT_TRUE(has(r.out, "eOnLockedLayer")) << r.out;
    EXPECT_FALSE(has(r.out, "1 block affected.")) << r.out;
    // Of a kind, the two labs that can take the links do; the locked one is reported.
    EXPECT_TRUE(has(r.out, "2 block(s) affected.\n")) << r.out;
    const std::string saved = dump("linked.dxf");
    const size_t at = saved.find("42|ROOM-1|");
    ASSERT_NE(at, std::string::npos) << saved;
    EXPECT_FALSE(has(saved.substr(at, saved.find('\n', at) - at), "LINKS:")) << saved;
}

TEST_F(CreationHost, ABoundaryAlreadyTakenIntoASpaceCannotBePickedAgain) {
    Outcome r = run("floor_world.dxf", "mbc\ndlg click 3\n#31\n2000,1500\n#31\n2000,1500\n*Cancel*\nSAVEAS out.dxf\n");
    const std::string saved = dump("out.dxf");
    EXPECT_TRUE(has(r.out, "#31\n\n*Invalid selection*")) << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully"), 1u) << r.out;
    // The first space keeps its boundary where it was drawn.
    EXPECT_TRUE(has(saved, "BOUNDARY|ROOM-1|0,0 0,3000 4000,0 4000,3000\n")) << saved;
    EXPECT_FALSE(has(saved, "ROOM-2")) << saved;
}

} // namespace
} // namespace creationtest
