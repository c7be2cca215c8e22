#include "cad/app/ApDocument.h"

#include "cad/editor/EdInput.h"

#include <algorithm>

namespace {

int strength(AcAp::DocLockMode m) {
    switch (m) {
        case AcAp::kXWrite:
            return 5;
        case AcAp::kWrite:
            return 4;
        case AcAp::kProtectedAutoWrite:
            return 3;
        case AcAp::kAutoWrite:
            return 2;
        case AcAp::kRead:
            return 1;
        default:
            return 0;
    }
}

bool allowsWriting(AcAp::DocLockMode m) {
    return m == AcAp::kWrite || m == AcAp::kXWrite || m == AcAp::kAutoWrite || m == AcAp::kProtectedAutoWrite;
}

} // namespace

AcAp::DocLockMode AcApDocument::lockMode(bool) const {
    AcAp::DocLockMode best = AcAp::kNotLocked;
    for (AcAp::DocLockMode m : locks_)
        if (strength(m) > strength(best)) best = m;
    return best;
}

bool AcApDocument::isWriteLocked() const {
    return std::any_of(locks_.begin(), locks_.end(), allowsWriting);
}

void AcApDocument::setView(const AcApView& v, bool remember) {
    if (remember) previousViews_.push_back(view_);
    view_ = v;
}

bool AcApDocument::previousView() {
    if (previousViews_.empty()) return false;
    view_ = previousViews_.back();
    previousViews_.pop_back();
    return true;
}

AcApDocument* AcApDocManager::document(const AcDbDatabase* db) const {
    for (AcApDocument* d : docs_)
        if (d->database_ == db) return d;
    return nullptr;
}

Acad::ErrorStatus AcApDocManager::lockDocument(AcApDocument* doc, AcAp::DocLockMode mode, const ACHAR* globalCmdName,
                                               const ACHAR*, bool) {
    if (!doc || std::find(docs_.begin(), docs_.end(), doc) == docs_.end()) return Acad::eInvalidInput;
    if (mode == AcAp::kNone || mode == AcAp::kNotLocked) return Acad::eInvalidInput;
    if (lockFailures_ > 0) {
        --lockFailures_;
        return lockFailure_;
    }
    AcAp::DocLockMode before = doc->lockMode();
    doc->locks_.push_back(mode);
    for (AcApDocManagerReactor* r : std::vector(reactors_))
        r->documentLockModeChanged(doc, before, doc->lockMode(), doc->lockMode(), globalCmdName ? globalCmdName : L"");
    return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::unlockDocument(AcApDocument* doc) {
    if (!doc || std::find(docs_.begin(), docs_.end(), doc) == docs_.end()) return Acad::eInvalidInput;
    if (doc->locks_.empty()) return Acad::eLockViolation;
    AcAp::DocLockMode before = doc->lockMode();
    doc->locks_.pop_back();
    for (AcApDocManagerReactor* r : std::vector(reactors_))
        r->documentLockModeChanged(doc, before, doc->lockMode(), doc->lockMode(), L"");
    return Acad::eOk;
}

void AcApDocManager::setLockFailure(Acad::ErrorStatus status, int count) {
    lockFailure_ = status;
    lockFailures_ = status == Acad::eOk ? 0 : count;
}

Acad::ErrorStatus AcApDocManager::setCurDocument(AcApDocument* doc, AcAp::DocLockMode mode, bool activate) {
    if (!doc || std::find(docs_.begin(), docs_.end(), doc) == docs_.end()) return Acad::eInvalidInput;
    current_ = doc;
    syncWorkingDatabase();
    for (AcApDocManagerReactor* r : std::vector(reactors_)) r->documentBecameCurrent(doc);
    if (mode != AcAp::kNone) {
        Acad::ErrorStatus es = lockDocument(doc, mode);
        if (es != Acad::eOk) return es;
    }
    if (activate) return activateDocument(doc);
    return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::activateDocument(AcApDocument* doc, bool) {
    if (!doc || std::find(docs_.begin(), docs_.end(), doc) == docs_.end()) return Acad::eInvalidInput;
    for (AcApDocManagerReactor* r : std::vector(reactors_)) r->documentToBeActivated(doc);
    active_ = doc;
    current_ = doc;
    syncWorkingDatabase();
    for (AcApDocManagerReactor* r : std::vector(reactors_)) r->documentActivated(doc);
    return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::sendStringToExecute(AcApDocument* doc, const ACHAR* text, bool activate, bool, bool) {
    if (!doc || !text || std::find(docs_.begin(), docs_.end(), doc) == docs_.end()) return Acad::eInvalidInput;
    if (activate && doc != active_) activateDocument(doc);
    ed::input().send(text);
    return Acad::eOk;
}

void AcApDocManager::addReactor(AcApDocManagerReactor* reactor) {
    if (reactor && std::find(reactors_.begin(), reactors_.end(), reactor) == reactors_.end())
        reactors_.push_back(reactor);
}

void AcApDocManager::removeReactor(AcApDocManagerReactor* reactor) {
    std::erase(reactors_, reactor);
}

void AcApDocManager::pushResourceHandle(HINSTANCE handle) {
    resources_.push_back(handle);
}
void AcApDocManager::pushAcadResourceHandle() {
    resources_.push_back(nullptr);
}
void AcApDocManager::popResourceHandle() {
    if (!resources_.empty()) resources_.pop_back();
}
HINSTANCE AcApDocManager::currentResourceHandle() const {
    return resources_.empty() ? nullptr : resources_.back();
}

Acad::ErrorStatus AcApDocManager::closeDocument(AcApDocument* doc) {
    auto it = std::find(docs_.begin(), docs_.end(), doc);
    if (!doc || it == docs_.end()) return Acad::eInvalidInput;
    for (AcApDocManagerReactor* r : std::vector(reactors_)) r->documentToBeDestroyed(doc);
    std::wstring name = doc->fileName_;
    docs_.erase(it);
    if (current_ == doc) current_ = docs_.empty() ? nullptr : docs_.back();
    if (active_ == doc) active_ = docs_.empty() ? nullptr : docs_.back();
    syncWorkingDatabase();
    delete doc;
    for (AcApDocManagerReactor* r : std::vector(reactors_)) r->documentDestroyed(name.c_str());
    return Acad::eOk;
}

void AcApDocManager::closeAll() {
    while (!docs_.empty()) closeDocument(docs_.back());
}

AcApDocManager* acDocManagerPtr() {
    static AcApDocManager* manager = new AcApDocManager(); // lives as long as the process
    return manager;
}

AcApDocument* curDoc() {
    return acDocManagerPtr()->curDocument();
}
