#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "DrawingTestSupport.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadHost.h"
#include "support/HostFixture.h"

namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A line that counts its destruction: the working drawing owns what it is given.
int g_linesDeleted = 0;
class CountedLine : public AcDbLine {
public:
    CountedLine() : AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 10, 0)) {}
    ~CountedLine() override { ++g_linesDeleted; }
};

class WorkingDrawing : public kelmo_test::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        savedTemp = g_tempDirectory;
        g_tempDirectory = L"C:\\kelmo\\temp\\";
        fs::create_directories(cDrive() / "kelmo" / "temp");
    }
    void TearDown() override {
        g_tempDirectory = savedTemp;
        HostFixture::TearDown();
    }

    fs::path cDrive() const { return host->tempDir() / "c"; }

    // The test document wrapped as commands wrap the current document.
    CAcadDrawing* wrap() {
        auto* drawing = new CAcadDrawing();
        drawing->setDocument(doc());
        drawing->setDrawingFilename(doc()->fileName());
        drawing->setDrawingOpen(1);
        drawing->setLeaveOpen(1);
        return drawing;
    }

    // A drawing file on the C: drive with a line in it; its Windows folder.
    CString writePlan(const std::string& name) {
        fs::create_directories(cDrive() / "plans");
        AcDbDatabase plan(true, true);
        drawingtest::append(plan, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(5000, 3000, 0)));
        drawingtest::append(plan, drawingtest::polyline({{0, 0, 0}, {4000, 0, 0}, {4000, 2500, 0}, {0, 2500, 0}}));
        std::wstring path = L"C:\\plans\\" + std::wstring(name.begin(), name.end());
        EXPECT_EQ(plan.saveAs(path.c_str()), Acad::eOk);
        return L"C:\\plans";
    }

    CString savedTemp;
};

TEST_F(WorkingDrawing, NestedLocksReachTheHostOnce) {
    CAcadDrawing* drawing = wrap();
    EXPECT_EQ(drawing->lock(), Acad::eOk);
    EXPECT_EQ(drawing->lock(), Acad::eOk);
    EXPECT_EQ(doc()->lockCount(), 1);
    EXPECT_EQ(drawing->unlock(0), Acad::eLockViolation);
    EXPECT_EQ(drawing->getLocked(), 1);
    EXPECT_EQ(drawing->unlock(0), Acad::eOk);
    EXPECT_EQ(drawing->getLocked(), 0);
    EXPECT_EQ(doc()->lockCount(), 0);

    acDocManager->setLockFailure(Acad::eLockViolation);
    EXPECT_EQ(drawing->lock(), Acad::eLockViolation);
    EXPECT_EQ(drawing->getLockCount(), 0);
    delete drawing;
}

TEST_F(WorkingDrawing, OnlyItsOwnLockIsReleased) {
    CAcadDrawing* drawing = wrap();
    ASSERT_EQ(acDocManager->lockDocument(doc()), Acad::eOk); // somebody else holds the document
    EXPECT_EQ(drawing->unlock(0), Acad::eLockViolation);
    EXPECT_EQ(doc()->lockCount(), 1);
    drawing->lock();
    drawing->lock();
    EXPECT_EQ(drawing->unlock(1), Acad::eOk);
    EXPECT_EQ(drawing->getLockCount(), 0);
    // The levels of before the forced unlock are gone: the other holder keeps its lock.
    EXPECT_EQ(drawing->unlock(0), Acad::eLockViolation);
    EXPECT_EQ(doc()->lockCount(), 1);
    EXPECT_EQ(drawing->lock(), Acad::eOk);
    EXPECT_EQ(drawing->getLockCount(), 1);
    drawing->lock();
    delete drawing; // every level it held goes with it
    EXPECT_EQ(doc()->lockCount(), 1);
    EXPECT_EQ(acDocManager->documentCount(), 1);
    acDocManager->unlockDocument(doc());
}

TEST_F(WorkingDrawing, PostToDrawingOwnsTheEntityAndItsLockLevel) {
    CAcadDrawing* drawing = wrap();
    g_linesDeleted = 0;
    AcDbObjectId id;
    EXPECT_EQ(drawing->postToDrawing(id, new CountedLine()), Acad::eOk);
    ASSERT_FALSE(id.isNull());
    EXPECT_EQ(doc()->lockCount(), 0);
    EXPECT_EQ(db()->openObjectCount(), 0);
    AcDbEntity* line = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(line, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(line->ownerId(), db()->modelSpaceId());
    line->close();

    // An entity that is already in the drawing fails and stays the drawing's.
    AcDbObjectId again;
    EXPECT_TRUE(drawingtest::innermostDescription([&] { drawing->postToDrawing(again, line); }).GetLength() > 0);
    EXPECT_EQ(g_linesDeleted, 0);
    EXPECT_EQ(doc()->lockCount(), 0);
    EXPECT_EQ(db()->openObjectCount(), 0);

    // Without the lock a new entity is deleted, not left to the caller.
    acDocManager->setLockFailure(Acad::eLockViolation);
    EXPECT_EQ(drawing->postToDrawing(again, new CountedLine()), Acad::eLockViolation);
    EXPECT_TRUE(again.isNull());
    EXPECT_EQ(g_linesDeleted, 1);
    EXPECT_EQ(drawing->getLocked(), 0);
    delete drawing;
}

TEST_F(WorkingDrawing, FullPathIsSplitAtTheLastBackslash) {
    CAcadDrawing drawing;
    drawing.setDrawingFullPath(L"C:\\projects\\tower\\level2.dwg");
    EXPECT_EQ(drawing.getDrawingPath(), L"C:\\projects\\tower\\");
    EXPECT_EQ(drawing.getDrawingFilename(), L"level2.dwg");
    drawing.setDrawingFullPath(L"level3.dwg");
    EXPECT_EQ(drawing.getDrawingPath(), L"C:\\projects\\tower\\");
    EXPECT_EQ(drawing.getDrawingFilename(), L"level3.dwg");
    drawing.setDrawingFullPath(L"");
    EXPECT_EQ(drawing.getDrawingFilename(), L"level3.dwg");
}

TEST_F(WorkingDrawing, OpenedDrawingIsClosedUnsavedWhenDestroyed) {
    CString folder = writePlan("plan.dxf");
    auto before = fs::last_write_time(cDrive() / "plans" / "plan.dxf");
    auto* drawing = new CAcadDrawing(folder, L"plan.dxf");
    EXPECT_EQ(drawing->getDrawingPath(), L"C:\\plans\\");
    EXPECT_EQ(drawing->getDrawingOpen(), 1);
    ASSERT_NE(drawing->getDocument(), nullptr);
    EXPECT_EQ(acDocManager->curDocument(), drawing->getDocument());
    EXPECT_EQ(acDocManager->documentCount(), 2);
    drawing->lock(); // left locked: released all the same
    drawing->lock();
    delete drawing;
    EXPECT_EQ(acDocManager->documentCount(), 1);
    EXPECT_EQ(fs::last_write_time(cDrive() / "plans" / "plan.dxf"), before);
}

TEST_F(WorkingDrawing, SaveOnCloseWritesTheChangesBack) {
    CString folder = writePlan("plan.dxf");
    auto* drawing = new CAcadDrawing(folder, L"plan.dxf");
    drawing->setSaveOnClose(1);
    AcDbObjectId id;
    ASSERT_EQ(drawing->postToDrawing(id, new AcDbCircle(AcGePoint3d(1, 1, 0), AcGeVector3d(0, 0, 1), 7)), Acad::eOk);
    std::wstring handle = host->handleOf(id);
    delete drawing;
    EXPECT_EQ(acDocManager->documentCount(), 1);
    AcDbDatabase reread(false, true);
    ASSERT_EQ(reread.readDxfFile(L"C:\\plans\\plan.dxf"), Acad::eOk);
    AcDbObjectId found;
    EXPECT_EQ(reread.getAcDbObjectId(found, false, AcDbHandle(handle.c_str())), Acad::eOk);
    // The saved copy was temporary.
    EXPECT_TRUE(fs::is_empty(cDrive() / "kelmo" / "temp"));
}

TEST_F(WorkingDrawing, ALockedSaveOnCloseDrawingIsClosedWithoutSavingOrCopyingBack) {
    CString folder = writePlan("plan.dxf");
    const std::string before = bytesOf(cDrive() / "plans" / "plan.dxf");
    auto* drawing = new CAcadDrawing(folder, L"plan.dxf");
    drawing->setSaveOnClose(1);
    AcDbObjectId id;
    ASSERT_EQ(drawing->postToDrawing(id, new AcDbCircle(AcGePoint3d(1, 1, 0), AcGeVector3d(0, 0, 1), 7)), Acad::eOk);
    // An operation cut short by an error leaves its lock held.
    ASSERT_EQ(drawing->lock(), Acad::eOk);
    delete drawing;
    EXPECT_EQ(acDocManager->documentCount(), 1);
    EXPECT_EQ(bytesOf(cDrive() / "plans" / "plan.dxf"), before);
    EXPECT_TRUE(fs::is_empty(cDrive() / "kelmo" / "temp"));
    EXPECT_TRUE(host->messageBoxes().empty());
}

TEST_F(WorkingDrawing, ALockedWrappedDocumentIsReleasedAndLeftOpen) {
    for (int leaveOpen : {1, 0}) {
        CAcadDrawing* drawing = wrap();
        drawing->setLeaveOpen(leaveOpen);
        drawing->setSaveOnClose(1);
        ASSERT_EQ(drawing->lock(), Acad::eOk);
        ASSERT_EQ(drawing->lock(), Acad::eOk);
        delete drawing;
        // This object did not open the document: it is neither saved nor closed, only unlocked.
        EXPECT_EQ(acDocManager->documentCount(), 1) << leaveOpen;
        EXPECT_EQ(doc()->lockCount(), 0) << leaveOpen;
        EXPECT_TRUE(fs::is_empty(cDrive() / "kelmo" / "temp")) << leaveOpen;
    }
}

TEST_F(WorkingDrawing, DestructorReportsInsteadOfThrowing) {
    CString folder = writePlan("plan.dxf");
    auto* drawing = new CAcadDrawing(folder, L"plan.dxf");
    drawing->setSaveOnClose(1);
    g_tempDirectory = L"C:\\missing\\temp\\";
    EXPECT_NO_THROW(delete drawing);
    ASSERT_EQ(host->messageBoxes().size(), 1u);
    EXPECT_EQ(host->messageBoxes()[0].caption, L"Error Detected.");
    EXPECT_NE(host->messageBoxes()[0].text.find(L"CAcadDrawing::~CAcadDrawing"), std::wstring::npos);
    // Unsaved work is not thrown away: the drawing stays open.
    EXPECT_EQ(acDocManager->documentCount(), 2);
}

TEST_F(WorkingDrawing, ClosingTakesItsOwnDocumentNotTheActiveOne) {
    CString folder = writePlan("plan.dxf");
    auto* drawing = new CAcadDrawing(folder, L"plan.dxf");
    AcApDocument* opened = drawing->getDocument();
    // The user goes back to the drawing being edited.
    ASSERT_EQ(acDocManager->activateDocument(doc()), Acad::eOk);
    ASSERT_EQ(acDocManager->setCurDocument(doc()), Acad::eOk);
    delete drawing;
    EXPECT_EQ(acDocManager->documentCount(), 1);
    EXPECT_EQ(acDocManager->mdiActiveDocument(), doc());
    AcApDocumentIterator* it = acDocManager->newAcApDocumentIterator();
    for (; !it->done(); it->step()) EXPECT_NE(it->document(), opened);
    delete it;
}

TEST_F(WorkingDrawing, OpeningAMissingDrawingFails) {
    bool thrown = false;
    CString description =
        drawingtest::innermostDescription([&] { CAcadDrawing drawing(L"C:\\plans", L"missing.dxf"); }, &thrown);
    EXPECT_TRUE(thrown);
    EXPECT_EQ(description.Find(L"The following AutoCAD error occurred on line#561"), 0) << description.ToUtf8();
    EXPECT_EQ(acDocManager->documentCount(), 1);
}

TEST_F(WorkingDrawing, ViewOperationsActOnTheActiveDocument) {
    CAcadDrawing* drawing = wrap();
    host->addRectangle(0, 0, 400, 300);
    AcApDocument* other = host->addDocument(L"");
    ASSERT_EQ(acDocManager->activateDocument(other), Acad::eOk);
    int regens = other->regenCount();
    int ownRegens = doc()->regenCount();
    EXPECT_EQ(drawing->regenDrawing(), 1);
    EXPECT_EQ(other->regenCount(), regens + 1);
    EXPECT_EQ(doc()->regenCount(), ownRegens);
    EXPECT_TRUE(automation::applicationVisible());
    drawing->zoomWindow(AcGePoint3d(110, 220, 0), AcGePoint3d(10, 20, 0));
    EXPECT_EQ(other->view().minX, 10);
    EXPECT_EQ(other->view().minY, 20);
    EXPECT_EQ(other->view().maxX, 110);
    EXPECT_EQ(other->view().maxY, 220);
    EXPECT_EQ(doc()->previousViewCount(), 0u);
    drawing->zoomPrevious();
    EXPECT_NE(other->view().maxY, 220);
    EXPECT_EQ(other->previousViewCount(), 0u);

    // Back on the drawing with the rectangle, zoom extents frames it.
    ASSERT_EQ(acDocManager->activateDocument(doc()), Acad::eOk);
    drawing->zoomExtents();
    EXPECT_EQ(doc()->view().maxX, 400);
    EXPECT_EQ(doc()->view().maxY, 300);
    delete drawing;
}

TEST_F(WorkingDrawing, ZoomPreviousUndoesExactlyTheLastZoomEvenOnAnEmptyDrawing) {
    CAcadDrawing* drawing = wrap();
    drawing->zoomWindow(AcGePoint3d(0, 0, 0), AcGePoint3d(50, 40, 0));
    AcApView framed = doc()->view();
    // Nothing drawn yet: the extents leave the window where it is, and zoom previous gives back
    // this window, not the one before it.
    drawing->zoomExtents();
    EXPECT_EQ(doc()->view().maxX, framed.maxX);
    drawing->zoomPrevious();
    EXPECT_EQ(doc()->view().maxX, 50);
    EXPECT_EQ(doc()->view().maxY, 40);
    EXPECT_EQ(doc()->previousViewCount(), 1u);
    delete drawing;
}

TEST_F(WorkingDrawing, SaveAsTempNamesTheCopyByTimeAndKeepsItUntilTheEnd) {
    CString folder = writePlan("plan.dxf");
    auto* drawing = new CAcadDrawing(folder, L"plan.dxf");
    drawing->setDrawingFilename(L"plan.dwg");
    CString copy = drawing->saveAsTemp();
    std::wregex pattern(LR"(C:\\kelmo\\temp\\\d{8}\d{2}h\d{4}_plan\.krp)");
    EXPECT_TRUE(std::regex_match(static_cast<const wchar_t*>(copy), pattern)) << copy.ToUtf8();
    fs::path native = cDrive() / "kelmo" / "temp" / copy.Mid(14).ToUtf8();
    EXPECT_GT(fs::file_size(native), 0u);
    delete drawing;
    EXPECT_FALSE(fs::exists(native));
    EXPECT_EQ(CAcadDrawing::savedCopyName(L"plan.DWG"), L"plan.DWG.krp");
}

TEST_F(WorkingDrawing, SaveAsDeliversOnlyAFreshCopy) {
    CString folder = writePlan("plan.dxf");
    fs::create_directories(cDrive() / "out");
    auto* drawing = new CAcadDrawing(folder, L"plan.dxf");
    EXPECT_EQ(drawing->saveAs(L"C:\\out\\", L"copy.dxf"), 0);
    EXPECT_TRUE(fs::exists(cDrive() / "kelmo" / "temp" / "copy.dxf.krp"));
    EXPECT_EQ(drawingtest::innermostDescription([&] { drawing->saveAs(L"C:\\nowhere\\", L"copy.dxf"); }),
              L"unable to copy drawing from temp location - The system cannot find the path specified.");
    delete drawing;
    EXPECT_FALSE(fs::exists(cDrive() / "kelmo" / "temp" / "copy.dxf.krp"));
    AcDbDatabase copy(false, true);
    EXPECT_EQ(copy.readDxfFile(L"C:\\out\\copy.dxf"), Acad::eOk);

    // A drawing that is not open has nothing to save: an old file at the temporary name is not delivered.
    std::ofstream(cDrive() / "kelmo" / "temp" / "stale.krp") << "stale";
    CAcadDrawing closed;
    EXPECT_EQ(drawingtest::innermostDescription([&] { closed.saveAs(L"C:\\out\\", L"stale.dwg"); }),
              L"unable to save drawing to temp location C:\\kelmo\\temp\\stale.krp");
    EXPECT_FALSE(fs::exists(cDrive() / "out" / "stale.dwg"));
}

TEST_F(WorkingDrawing, TemporaryFolderFallsBackToTheModulesOwn) {
    EXPECT_EQ(CAcadDrawing::getTempFolder(), L"C:\\kelmo\\temp\\");
    g_tempDirectory = L"C:\\kelmo\\other";
    EXPECT_EQ(CAcadDrawing::getTempFolder(), L"C:\\kelmo\\other\\");
}

class Plotting : public WorkingDrawing {
protected:
    void SetUp() override {
        WorkingDrawing::SetUp();
        fs::create_directories(cDrive() / "plots");
        drawing = new CAcadDrawing(writePlan("plan.dxf"), L"plan.dxf");
    }
    void TearDown() override {
        delete drawing;
        WorkingDrawing::TearDown();
    }
    // The first bytes of a plot file; set KELMO_KEEP_PLOTS to a folder to look at the plots.
    std::string magic(const std::string& name, size_t length) {
        fs::path file = cDrive() / "plots" / name;
        if (const char* keep = std::getenv("KELMO_KEEP_PLOTS"))
            fs::copy_file(file, fs::path(keep) / name, fs::copy_options::overwrite_existing);
        std::ifstream in(file, std::ios::binary);
        std::string bytes(length, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(length));
        return bytes;
    }
    CAcadDrawing* drawing = nullptr;
};

TEST_F(Plotting, PngAndPdfOfAPaperLayout) {
    // A sheet with one viewport onto the plan.
    drawing->lock();
    auto* viewport = new AcDbViewport();
    viewport->setCenterPoint(AcGePoint3d(200, 140, 0));
    viewport->setWidth(300);
    viewport->setHeight(200);
    viewport->setViewCenter(AcGePoint2d(2500, 1500));
    viewport->setViewHeight(4000);
    viewport->setNumber(2);
    drawingtest::append(*drawing->getDatabase(), viewport, ACDB_PAPER_SPACE);
    drawing->unlock(0);

    CString layout = L"Layout1";
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots", L"sheet", 3, 1, 1, 0, 5, 4, 1), CAcadDrawing::plotDone);
    EXPECT_EQ(magic("sheet.png", 4), "\x89PNG");
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots\\", L"sheet.dwf", 1, 1, 1, 0, 5, 4, 1), CAcadDrawing::plotDone);
    EXPECT_EQ(magic("sheet.pdf", 4), "%PDF");
    // An empty name plots the active layout and names it.
    layout.Empty();
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots", L"plan", 3, 1, 1, 0, 1, 6, 1), CAcadDrawing::plotDone);
    EXPECT_EQ(layout, L"Layout1");
}

TEST_F(Plotting, NothingWrittenIsAFailure) {
    CString layout = L"Model";
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots", L"plan", 0, 1, 1, 0, 1, 0, 1), CAcadDrawing::plotFailed);
    EXPECT_FALSE(fs::exists(cDrive() / "plots" / "plan.dwf"));
    std::ofstream(cDrive() / "plots" / "plan.dwf") << "an old plot";
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots", L"plan", 0, 1, 1, 0, 1, 0, 1), CAcadDrawing::plotFailed);
    EXPECT_EQ(drawing->plot(layout, L"C:\\nowhere", L"plan", 3, 1, 1, 0, 1, 0, 1), CAcadDrawing::plotNoFolder);
    CAcadDrawing closed;
    EXPECT_EQ(closed.plot(layout, L"C:\\plots", L"plan", 3, 1, 1, 0, 1, 0, 1), CAcadDrawing::plotFailed);
    EXPECT_FALSE(fs::exists(cDrive() / "plots" / "plan.png"));
    EXPECT_EQ(drawingtest::innermostDescription([&] { drawing->plot(layout, L"C:\\plots", L"", 3, 1, 1, 0, 1, 0, 1); }),
              L"Invalid Plot Filename - ''");
}

short fileDialogSetting() {
    resbuf value;
    EXPECT_EQ(acedGetVar(L"FILEDIA", &value), RTNORM);
    return value.resval.rint;
}

void setFileDialogSetting(short setting) {
    resbuf value;
    value.rbnext = nullptr;
    value.restype = RTSHORT;
    value.resval.rint = setting;
    EXPECT_EQ(acedSetVar(L"FILEDIA", &value), RTNORM);
}

TEST_F(Plotting, OtherHostExportsTheLayoutAndKeepsTheFileDialogSetting) {
    acdbHostApplicationServices()->setProduct(L"BricsCAD V20");
    g_hostApplication.detect(L"BricsCAD V20", L"");
    short before = fileDialogSetting();
    struct Restore {
        short setting;
        ~Restore() {
            g_hostApplication.detect(L"AutoCAD 2015", L"");
            setFileDialogSetting(setting);
        }
    } restore{before};
    CString layout;
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots", L"plan.jpg", 3, 1, 1, 0, 1, 0, 1), CAcadDrawing::plotDone);
    EXPECT_TRUE(fs::exists(cDrive() / "plots" / "plan.png"));
    EXPECT_EQ(layout, L"Model");
    EXPECT_NE(host->commandLine().find(L"C:\\plots\\plan.png\n\n"), std::wstring::npos);
    EXPECT_EQ(host->commandLine().find(L"Unknown command"), std::wstring::npos);
    EXPECT_EQ(fileDialogSetting(), before);

    // A user who works without file dialogs keeps working without them, also when the export fails.
    setFileDialogSetting(0);
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots", L"plan.pdf", 1, 1, 1, 0, 1, 0, 1), CAcadDrawing::plotDone);
    EXPECT_EQ(fileDialogSetting(), 0);
    setFileDialogSetting(1);
    EXPECT_EQ(drawing->plot(layout, L"C:\\plots", L"plan", 0, 1, 1, 0, 1, 0, 1), CAcadDrawing::plotFailed);
    EXPECT_FALSE(fs::exists(cDrive() / "plots" / "plan.dwf"));
    EXPECT_EQ(fileDialogSetting(), 1);
}

} // namespace
