#include "support/HostFixture.h"

#include "cad/editor/EdInput.h"
#include "cad/editor/EdPrintf.h"
#include "cad/app/HostApplicationServices.h"
#include "win/Paths.h"

#include <unistd.h>

#include <atomic>

namespace kelmo_test {
namespace {

std::atomic<int> g_counter{0};

} // namespace

TestHost::TestHost() {
    temp_ = std::filesystem::temp_directory_path() /
            ("kelmo-host-" + std::to_string(::getpid()) + "-" + std::to_string(g_counter++));
    std::filesystem::create_directories(temp_ / "c");
    win::setCDrive((temp_ / "c").string());
    acDocManager->closeAll();
    ed::input().clear();
    ed::input().setSource(nullptr);
    ed::input().setEcho(false);
    ed::commandLine().clear();
    acdbHostApplicationServices()->setProduct(L"AutoCAD 2015");
    previousSink_ = win::setUiSink(this);
    doc_ = acDocManager->addDocument(new AcDbDatabase(true, true), L"");
}

TestHost::~TestHost() {
    acDocManager->setLockFailure(Acad::eOk);
    acDocManager->closeAll();
    ed::input().clear();
    ed::commandLine().clear();
    win::setUiSink(previousSink_ == this ? nullptr : previousSink_);
    std::error_code ec;
    std::filesystem::remove_all(temp_, ec);
}

AcApDocument* TestHost::addDocument(const std::wstring& fileName) {
    return acDocManager->addDocument(new AcDbDatabase(true, true), fileName);
}

void TestHost::answer(const std::wstring& line) {
    ed::input().queue(line);
}
void TestHost::answers(std::initializer_list<std::wstring> lines) {
    for (const auto& l : lines) answer(l);
}
size_t TestHost::pendingAnswers() const {
    return ed::input().queuedCount();
}

std::wstring TestHost::commandLine() const {
    return ed::commandLine().text();
}
void TestHost::clearCommandLine() {
    ed::commandLine().clear();
}

int TestHost::messageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
    int id = win::defaultButton(type);
    if (!boxAnswers_.empty()) {
        id = boxAnswers_.front();
        boxAnswers_.pop_front();
    }
    boxes_.push_back({caption, text, type, id});
    return id;
}

bool TestHost::chooseFile(const win::FileDialogRequest& request, std::wstring& path) {
    fileRequests_.push_back(request);
    if (fileAnswers_.empty()) return false;
    path = fileAnswers_.front();
    fileAnswers_.pop_front();
    return !path.empty();
}

bool TestHost::browseForFolder(const std::wstring& title, std::wstring& path) {
    win::FileDialogRequest r;
    r.title = title;
    fileRequests_.push_back(r);
    if (fileAnswers_.empty()) return false;
    path = fileAnswers_.front();
    fileAnswers_.pop_front();
    return !path.empty();
}

void TestHost::lock() {
    acDocManager->lockDocument(doc_, AcAp::kWrite);
}
void TestHost::unlock() {
    acDocManager->unlockDocument(doc_);
}

AcDbObjectId TestHost::addEntity(AcDbEntity* entity) {
    lock();
    AcDbObjectId id;
    AcDbBlockTableRecord* ms = nullptr;
    if (acdbOpenObject(ms, database()->modelSpaceId(), AcDb::kForWrite) == Acad::eOk) {
        if (ms->appendAcDbEntity(id, entity) == Acad::eOk)
            entity->close();
        else
            delete entity;
        ms->close();
    } else {
        delete entity;
    }
    unlock();
    return id;
}

AcDbObjectId TestHost::addLayer(const std::wstring& name, int colorIndex) {
    lock();
    AcDbObjectId id;
    AcDbLayerTable* table = nullptr;
    if (database()->getLayerTable(table, AcDb::kForWrite) == Acad::eOk) {
        auto* rec = new AcDbLayerTableRecord();
        rec->setName(name.c_str());
        AcCmColor c;
        c.setColorIndex(Adesk::UInt16(colorIndex));
        rec->setColor(c);
        if (table->add(id, rec) == Acad::eOk)
            rec->close();
        else
            delete rec;
        table->close();
    }
    unlock();
    return id;
}

AcDbObjectId TestHost::defineBlock(const std::wstring& name, std::vector<AcDbEntity*> entities) {
    lock();
    AcDbObjectId id;
    AcDbBlockTable* table = nullptr;
    if (database()->getBlockTable(table, AcDb::kForWrite) == Acad::eOk) {
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(name.c_str());
        if (table->add(id, rec) == Acad::eOk) {
            for (AcDbEntity* e : entities) {
                if (rec->appendAcDbEntity(e) == Acad::eOk)
                    e->close();
                else
                    delete e;
            }
            rec->close();
        } else {
            delete rec;
            for (AcDbEntity* e : entities) delete e;
        }
        table->close();
    }
    unlock();
    return id;
}

AcDbObjectId TestHost::insertBlock(const std::wstring& name, const AcGePoint3d& at, double scale, double rotation,
                                   const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    AcDbObjectId btrId = database()->blockId(name);
    if (btrId.isNull()) return AcDbObjectId();
    auto* ref = new AcDbBlockReference(at, btrId);
    ref->setScaleFactors(AcGeScale3d(scale, scale, scale));
    ref->setRotation(rotation);
    AcDbObjectId refId = addEntity(ref);
    lock();
    AcDbBlockTableRecord* btr = nullptr;
    AcDbBlockReference* open = nullptr;
    if (acdbOpenObject(open, refId, AcDb::kForWrite) == Acad::eOk) {
        if (acdbOpenObject(btr, btrId, AcDb::kForRead) == Acad::eOk) {
            for (const AcDbObjectId& eid : btr->entityIds()) {
                AcDbAttributeDefinition* def = nullptr;
                if (acdbOpenObject(def, eid, AcDb::kForRead) != Acad::eOk) continue;
                auto* att = new AcDbAttribute();
                att->setAttributeFromBlock(def, open->blockTransform());
                for (const auto& [tag, value] : values)
                    if (tag == def->tagConst()) att->setTextString(value.c_str());
                def->close();
                if (open->appendAttribute(att) == Acad::eOk)
                    att->close();
                else
                    delete att;
            }
            btr->close();
        }
        open->close();
    }
    unlock();
    return refId;
}

AcDbObjectId TestHost::addRectangle(double x0, double y0, double x1, double y1, const std::wstring& layer) {
    auto* p = new AcDbPolyline();
    p->addVertexAt(0, AcGePoint2d(x0, y0));
    p->addVertexAt(1, AcGePoint2d(x1, y0));
    p->addVertexAt(2, AcGePoint2d(x1, y1));
    p->addVertexAt(3, AcGePoint2d(x0, y1));
    p->setClosed(true);
    p->setDatabaseDefaults(database());
    if (!layer.empty()) p->setLayer(layer.c_str());
    return addEntity(p);
}

std::wstring TestHost::handleOf(AcDbObjectId id) const {
    return id.handle().text();
}

} // namespace kelmo_test
