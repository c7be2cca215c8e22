#include "cad/app/ApDocument.h"
#include "cad/editor/EdInput.h"
#include "cad/app/HostApplicationServices.h"
#include "support/HostFixture.h"

#include "win/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using kelmo_test::HostFixture;

namespace {

AcDbObjectId firstLine(kelmo_test::TestHost& host) {
    return host.addEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
}

TEST_F(HostFixture, LocksNestAndAnUnlockTooManyIsALockViolation) {
    ASSERT_EQ(doc()->lockCount(), 0);
    EXPECT_EQ(acDocManager->lockDocument(doc(), AcAp::kWrite), Acad::eOk);
    EXPECT_EQ(acDocManager->lockDocument(doc(), AcAp::kWrite, nullptr, nullptr, true), Acad::eOk);
    EXPECT_EQ(doc()->lockCount(), 2);
    EXPECT_EQ(doc()->lockMode(), AcAp::kWrite);
    EXPECT_EQ(acDocManager->unlockDocument(doc()), Acad::eOk);
    EXPECT_TRUE(doc()->isWriteLocked());
    EXPECT_EQ(acDocManager->unlockDocument(doc()), Acad::eOk);
    EXPECT_EQ(doc()->lockMode(), AcAp::kNotLocked);
    EXPECT_EQ(acDocManager->unlockDocument(doc()), Acad::eLockViolation);
    EXPECT_EQ(int(acDocManager->unlockDocument(doc())), 320);
}

TEST_F(HostFixture, WriteOpensNeedAWriteLock) {
    AcDbObjectId id = firstLine(*host);
    AcDbLine* line = nullptr;
    EXPECT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eLockViolation);
    EXPECT_EQ(line, nullptr);
    ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForRead), Acad::eOk); // reading needs no lock
    line->close();
    // A read lock does not allow writing either.
    acDocManager->lockDocument(doc(), AcAp::kRead);
    EXPECT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eLockViolation);
    acDocManager->unlockDocument(doc());
    acDocManager->lockDocument(doc(), AcAp::kWrite);
    ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eOk);
    line->close();
    acDocManager->unlockDocument(doc());
    EXPECT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eLockViolation);
}

TEST_F(HostFixture, AFailingLockIsReportedAndNotCounted) {
    acDocManager->setLockFailure(Acad::eLockViolation, 1);
    EXPECT_EQ(acDocManager->lockDocument(doc()), Acad::eLockViolation);
    EXPECT_EQ(doc()->lockCount(), 0);
    EXPECT_EQ(acDocManager->lockDocument(doc()), Acad::eOk);
    EXPECT_EQ(acDocManager->unlockDocument(doc()), Acad::eOk);
    EXPECT_EQ(acDocManager->lockDocument(nullptr), Acad::eInvalidInput);
}

struct Recorder : AcApDocManagerReactor {
    std::vector<AcApDocument*> destroyed;
    std::vector<std::wstring> gone;
    int created = 0;
    void documentCreated(AcApDocument*) override { ++created; }
    void documentToBeDestroyed(AcApDocument* d) override { destroyed.push_back(d); }
    void documentDestroyed(const ACHAR* name) override { gone.push_back(name); }
};

TEST_F(HostFixture, DocumentsCurrentActiveAndReactors) {
    Recorder r;
    acDocManager->addReactor(&r);
    acDocManager->addReactor(&r); // once only
    AcApDocument* second = host->addDocument(L"Z:\\tmp\\second.dxf");
    EXPECT_EQ(r.created, 1);
    EXPECT_EQ(acDocManager->curDocument(), second);
    EXPECT_EQ(acDocManager->mdiActiveDocument(), second);
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), second->database());
    EXPECT_STREQ(second->docTitle(), L"second.dxf");
    EXPECT_EQ(acDocManager->documentCount(), 2);
    EXPECT_EQ(acDocManager->document(doc()->database()), doc());
    EXPECT_EQ(acDocManager->closeDocument(second), Acad::eOk);
    ASSERT_EQ(r.destroyed.size(), 1u);
    EXPECT_EQ(r.destroyed[0], second);
    EXPECT_EQ(r.gone, std::vector<std::wstring>{L"Z:\\tmp\\second.dxf"});
    EXPECT_EQ(acDocManager->curDocument(), doc());
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), doc()->database());
    acDocManager->removeReactor(&r);
    host->addDocument();
    EXPECT_EQ(r.created, 1);
}

TEST_F(HostFixture, ResourceHandlesStack) {
    int a = 0, b = 0;
    EXPECT_EQ(acDocManager->currentResourceHandle(), nullptr);
    acDocManager->pushResourceHandle(&a);
    acDocManager->pushResourceHandle(&b);
    EXPECT_EQ(acDocManager->currentResourceHandle(), &b);
    acDocManager->popResourceHandle();
    EXPECT_EQ(acDocManager->currentResourceHandle(), &a);
    acDocManager->popResourceHandle();
    acDocManager->popResourceHandle(); // one pop too many does no harm
    EXPECT_EQ(acDocManager->resourceDepth(), 0u);
}

TEST_F(HostFixture, SentEscapeCancelsTheWaitingPrompt) {
    host->answer(L"12");
    EXPECT_EQ(acDocManager->sendStringToExecute(doc(), L"\x1b", false, false, true), Acad::eOk);
    int v = 0;
    EXPECT_EQ(acedGetInt(L"\nCount: ", &v), RTCAN);
    EXPECT_EQ(acedGetInt(L"\nCount: ", &v), RTNORM);
    EXPECT_EQ(v, 12);
}

TEST_F(HostFixture, OpensDxfInWindowsFormAndRefusesDwg) {
    std::string native = std::string(KELMO_DXF_DATA_DIR) + "/ASCII_R12.dxf";
    std::wstring w(native.begin(), native.end());
    ASSERT_EQ(acDocManager->appContextOpenDocument(w.c_str()), Acad::eOk)
        << std::string(acDocManager->lastError().begin(), acDocManager->lastError().end());
    AcApDocument* opened = acDocManager->curDocument();
    ASSERT_NE(opened, doc());
    std::wstring name = opened->fileName();
    EXPECT_EQ(name.substr(0, 3), L"Z:\\");
    EXPECT_NE(name.find(L"\\data\\dxf\\ASCII_R12.dxf"), std::wstring::npos);
    EXPECT_NE(opened->database(), nullptr);
    EXPECT_EQ(acDocManager->appContextOpenDocument(L"Z:\\tmp\\plan.DWG"), Acad::eDwgNotRecognized);
    EXPECT_NE(acDocManager->lastError().find(L"DWG"), std::wstring::npos);
    EXPECT_NE(acDocManager->appContextOpenDocument(L"Z:\\nonexistent\\plan.dxf"), Acad::eOk);
    EXPECT_EQ(acDocManager->documentCount(), 2);
}

TEST_F(HostFixture, AFolderOrAMissingFolderIsNamedAsSuch) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("docs_folder_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "plan.dxf");
    auto windows = [](const std::filesystem::path& p) { return win::nativeToWindows(p.string()); };
    // A folder named like a drawing is neither opened nor overwritten.
    EXPECT_EQ(acDocManager->appContextOpenDocument(windows(dir / "plan.dxf").c_str()), Acad::eFileAccessErr);
    EXPECT_NE(acDocManager->lastError().find(L"folder"), std::wstring::npos);
    std::wstring why;
    EXPECT_NE(acDocManager->saveDocument(doc(), windows(dir / "plan.dxf").c_str(), why), Acad::eOk);
    EXPECT_NE(why.find(L"is a folder"), std::wstring::npos);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "plan.dxf"));
    why.clear();
    EXPECT_NE(acDocManager->saveDocument(doc(), windows(dir / "none" / "plan.dxf").c_str(), why), Acad::eOk);
    EXPECT_NE(why.find(L"folder does not exist"), std::wstring::npos);
    why.clear();
    EXPECT_NE(acDocManager->saveDocument(doc(), L"\\\\server\\share\\plan.dxf", why), Acad::eOk);
    EXPECT_NE(why.find(L"network"), std::wstring::npos) << std::string(why.begin(), why.end());
    EXPECT_NE(acDocManager->appContextOpenDocument(L"\\\\server\\share\\plan.dxf"), Acad::eOk);
    EXPECT_NE(acDocManager->lastError().find(L"network"), std::wstring::npos);
    // The document keeps its name after a refused save.
    EXPECT_EQ(std::wstring(doc()->fileName()).find(L"none"), std::wstring::npos);
    EXPECT_EQ(acDocManager->documentCount(), 1);
    std::filesystem::remove_all(dir);
}

TEST_F(HostFixture, LayoutManagerActsOnTheCurrentDrawing) {
    AcDbLayoutManager* lm = acdbHostApplicationServices()->layoutManager();
    EXPECT_EQ(lm->countLayouts(), 2);
    EXPECT_STREQ(lm->findActiveLayout(true), L"Model");
    EXPECT_STREQ(lm->findActiveLayout(false), L"");
    EXPECT_EQ(lm->getActiveLayoutBTRId(), db()->modelSpaceId());
    // Switching layouts changes the drawing: refused without a lock.
    EXPECT_EQ(lm->setCurrentLayout(L"Layout1"), Acad::eLockViolation);
    acDocManager->lockDocument(doc());
    EXPECT_EQ(lm->setCurrentLayout(L"layout1"), Acad::eOk);
    EXPECT_STREQ(lm->findActiveLayout(true), L"Layout1");
    EXPECT_EQ(lm->getActiveLayoutBTRId(), db()->paperSpaceId());
    EXPECT_EQ(lm->setCurrentLayout(L"Nowhere"), Acad::eKeyNotFound);
    AcDbLayout* l = lm->findLayoutNamed(L"Layout1", true);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->openMode(), AcDb::kForWrite);
    l->close();
    EXPECT_EQ(lm->findLayoutNamed(L"Nowhere", true), nullptr);
    acDocManager->unlockDocument(doc());
}

TEST_F(HostFixture, ProductTextIsTheHostsChoice) {
    EXPECT_STREQ(acdbHostApplicationServices()->product(), L"AutoCAD 2015");
    acdbHostApplicationServices()->setProduct(L"AutoCAD LT 2015");
    EXPECT_STREQ(acdbHostApplicationServices()->product(), L"AutoCAD LT 2015");
}

} // namespace

TEST_F(HostFixture, ADrawingIsChangedOnlyWhileAWriteLeftSomethingOtherThanItWas) {
    // Each write once counted as a change, and telling one that changed nothing from one that did took a
    // whole save's text of the drawing.
    struct Case {
        const char* named;
        std::function<void(AcDbDatabase*, AcDbObjectId)> write;
        bool changed;
    };
    auto withLine = [](AcDbObjectId id, const std::function<void(AcDbLine*)>& act) {
        AcDbLine* line = nullptr;
        ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eOk);
        act(line);
        line->close();
    };
    const Case cases[] = {
        {"opened for write and closed", [&](AcDbDatabase*, AcDbObjectId id) { withLine(id, [](AcDbLine*) {}); }, false},
        {"an end set to where it was",
         [&](AcDbDatabase*, AcDbObjectId id) {
             withLine(id, [](AcDbLine* l) { l->setEndPoint(AcGePoint3d(10, 0, 0)); });
         },
         false},
        {"an end moved",
         [&](AcDbDatabase*, AcDbObjectId id) {
             withLine(id, [](AcDbLine* l) { l->setEndPoint(AcGePoint3d(11, 0, 0)); });
         },
         true},
        {"an end moved, then moved back",
         [&](AcDbDatabase*, AcDbObjectId id) {
             withLine(id, [](AcDbLine* l) { l->setEndPoint(AcGePoint3d(11, 0, 0)); });
             withLine(id, [](AcDbLine* l) { l->setEndPoint(AcGePoint3d(10, 0, 0)); });
         },
         false},
        {"erased", [&](AcDbDatabase*, AcDbObjectId id) { withLine(id, [](AcDbLine* l) { l->erase(); }); }, true},
        {"a text size set, then set back",
         [](AcDbDatabase* db, AcDbObjectId) {
             const double was = db->textsize();
             db->setTextsize(was * 2);
             db->setTextsize(was);
         },
         false},
        {"a text size set", [](AcDbDatabase* db, AcDbObjectId) { db->setTextsize(db->textsize() * 2); }, true},
        {"a line added", [&](AcDbDatabase*, AcDbObjectId) { firstLine(*host); }, true},
    };
    doc()->takeBaseline();
    for (const Case& c : cases) {
        const AcDbObjectId id = firstLine(*host);
        acDocManager->lockDocument(doc(), AcAp::kWrite);
        doc()->database()->setModified(false); // as a save leaves it
        c.write(doc()->database(), id);
        acDocManager->unlockDocument(doc());
        EXPECT_EQ(doc()->isModified(), c.changed) << c.named;
    }
}
