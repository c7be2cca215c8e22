// A save writes the file as it makes it: what reaches the disk is, byte for byte, the text of the
// whole document, whatever the drawing holds.
#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDatabase.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

std::wstring winPath(const fs::path& p) {
    return win::nativeToWindows(p.string());
}

std::string wholeText(AcDbDatabase& db) {
    std::string text;
    dxf::writeDocument(dxf::saveDocument(&db), text);
    return text;
}

AcDbObjectId append(AcDbDatabase&, AcDbEntity* e, AcDbObjectId space) {
    return dxftest::append(space, e);
}

using dxftest::newBlock;

// A room as the space commands make one: a block with its outline and a label, inserted with its
// attribute (sequence end without a handle yet).
void addRoom(AcDbDatabase& db, int i) {
    const std::wstring name = L"ROOM-" + std::to_wstring(i);
    AcDbObjectId block = newBlock(db, name.c_str());
    append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(4, 0, 0)), block);
    append(db, new AcDbAttributeDefinition(AcGePoint3d(1, 1, 0), L"", L"NAME", L"NAME"), block);
    auto* ref = new AcDbBlockReference(AcGePoint3d(i * 5.0, 0, 0), block);
    AcDbObjectId refId = append(db, ref, db.modelSpaceId());
    AcDbBlockReference* open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, refId, AcDb::kForWrite), Acad::eOk);
    auto* attribute = new AcDbAttribute(AcGePoint3d(i * 5.0 + 1, 1, 0), name.c_str(), L"NAME");
    open->appendAttribute(attribute);
    attribute->close();
    open->close();
}

void expectSavedAsWhole(AcDbDatabase& db, const std::string& what) {
    const fs::path out = dxftest::scratchDir() / "streamed.dxf";
    ASSERT_EQ(db.saveAs(winPath(out).c_str()), Acad::eOk) << what;
    const std::string saved = dxftest::readBytes(out), whole = wholeText(db);
    EXPECT_EQ(saved.size(), whole.size()) << what;
    EXPECT_TRUE(saved == whole) << what;
}

std::vector<fs::path> filesIn(const fs::path& dir, std::size_t every = 1) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<fs::path> kept;
    for (std::size_t i = 0; i < files.size(); i += every) kept.push_back(files[i]);
    return kept;
}

} // namespace

TEST(DxfStreamSave, RealAndDamagedFilesAreSavedAsTheWholeDocument) {
    std::vector<fs::path> files = filesIn(KELMO_DXF_DATA_DIR);
    for (const fs::path& dir : {fs::path(KELMO_SOURCE_DIR) / "tests/platform/cad/dxf/data"})
        for (const fs::path& f : filesIn(dir)) files.push_back(f);
    // Damaged inputs: every twentieth of the fuzzing corpus.
    for (const fs::path& f : filesIn(fs::path(KELMO_SOURCE_DIR) / "fuzz/corpus", 20)) files.push_back(f);
    files.push_back(fs::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf");
    int saved = 0;
    for (const fs::path& f : files) {
        AcDbDatabase db(false, true);
        if (db.readDxfFile(winPath(f).c_str()) != Acad::eOk) continue;
        expectSavedAsWhole(db, f.filename().string());
        ++saved;
    }
    EXPECT_GT(saved, 60);
}

TEST(DxfStreamSave, DrawingsMadeInTheEditorAreSavedAsTheWholeDocument) {
    // Each case makes what the stream must hand new handles to, or write as the whole document would.
    const std::vector<std::pair<const char*, std::function<void(AcDbDatabase&)>>> cases = {
        {"rooms with attributes, new blocks and sequence ends",
         [](AcDbDatabase& db) {
             for (int i = 0; i < 25; ++i) addRoom(db, i);
         }},
        {"paper space entities",
         [](AcDbDatabase& db) {
             addRoom(db, 1);
             append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)), db.paperSpaceId());
             append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 2), db.modelSpaceId());
         }},
        {"an entity on a layer no table holds",
         [](AcDbDatabase& db) {
             addRoom(db, 1);
             auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
             line->setLayerNameOnly(L"NOT DEFINED");
             append(db, line, db.modelSpaceId());
             addRoom(db, 2);
         }},
        {"rooms under a changed draw order",
         [](AcDbDatabase& db) {
             for (int i = 0; i < 3; ++i) addRoom(db, i);
             AcDbObjectId circle =
                 append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 2), db.modelSpaceId());
             dxftest::sendToBottom(db.modelSpaceId(), {circle});
         }},
        {"an entity that owns a dictionary of its own",
         [](AcDbDatabase& db) {
             addRoom(db, 1);
             AcDbObjectId lineId =
                 append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)), db.modelSpaceId());
             AcDbLine* line = nullptr;
             ASSERT_EQ(acdbOpenObject(line, lineId, AcDb::kForWrite), Acad::eOk);
             ASSERT_EQ(line->createExtensionDictionary(), Acad::eOk);
             line->close();
             // The line is held apart while the document is brought into shape: its dictionary still names it.
             char owner[40];
             std::snprintf(owner, sizeof owner, "\r\n330\r\n%llX\r\n",
                           static_cast<unsigned long long>(lineId.handle().value()));
             EXPECT_NE(wholeText(db).find(owner), std::string::npos);
         }},
        {"an insert of an erased block",
         [](AcDbDatabase& db) {
             AcDbObjectId block = newBlock(db, L"GONE");
             append(db, new AcDbBlockReference(AcGePoint3d(1, 1, 0), block), db.modelSpaceId());
             AcDbBlockTableRecord* br = nullptr;
             ASSERT_EQ(acdbOpenObject(br, block, AcDb::kForWrite), Acad::eOk);
             br->erase();
             br->close();
         }},
    };
    for (const auto& [what, make] : cases) {
        AcDbDatabase db;
        make(db);
        expectSavedAsWhole(db, what);
        // A second save of the same drawing gives the same file.
        const std::string first = dxftest::readBytes(dxftest::scratchDir() / "streamed.dxf");
        expectSavedAsWhole(db, what);
        EXPECT_TRUE(first == dxftest::readBytes(dxftest::scratchDir() / "streamed.dxf")) << what;
    }
}

TEST(DxfStreamSave, ASaveThatRunsOutOfRoomMidwayLeavesTheOldFileAndNoLitter) {
    AcDbDatabase db;
    for (int i = 0; i < 400; ++i) addRoom(db, i);
    const fs::path dir = dxftest::scratchDir() / "full";
    fs::create_directories(dir);
    const fs::path target = dir / "plan.dxf";
    dxftest::writeBytes(target, "old contents");
    // Files may not grow past 200 KB: the stream fails after its first chunks have gone out.
    auto* const oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 200 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Acad::ErrorStatus es = db.saveAs(winPath(target).c_str());
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(es, Acad::eFileAccessErr);
    EXPECT_FALSE(dxf::lastSaveProblem(&db).empty());
    EXPECT_EQ(dxftest::readBytes(target), "old contents");
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 1);
    EXPECT_EQ(db.saveAs(winPath(target).c_str()), Acad::eOk);
    EXPECT_TRUE(dxftest::readBytes(target) == wholeText(db));
}
