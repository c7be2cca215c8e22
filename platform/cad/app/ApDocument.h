#pragma once
// Documents: the open drawings of the host, their locks, reactors and the resource stack.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cad/app/DocumentFile.h"
#include "cad/db/AcDbCore.h"

class AcDbDatabase;
class AcApDocManager;

namespace AcAp {
enum DocLockMode {
    kNone = 0x00,
    kAutoWrite = 0x01,
    kNotLocked = 0x02,
    kWrite = 0x04,
    kProtectedAutoWrite = 0x14,
    kRead = 0x20,
    kXWrite = 0x40
};
} // namespace AcAp

// A view of a document: the window shown, the previous windows, and how often it was regenerated.
struct AcApView {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// The file a drawing was read from or last saved to, and the folder entry that led to it: a save onto
// that entry which would now replace another file (a link repointed) is a change on disk, and so is one
// onto the same file reached by another path (its folder renamed).
struct AcApFilePlace {
    docfile::FileStamp file, folder;
    std::string name;
};

class AcApDocument : public AcRxObject {
public:
    ~AcApDocument() override;
    // The drawing's file name in Windows form ("Z:\home\a\plan.dxf"); empty for a new drawing.
    const ACHAR* fileName() const { return fileName_.c_str(); }
    const ACHAR* docTitle() const { return title_.c_str(); }
    AcDbDatabase* database() const { return database_; }
    bool isReadOnly() const { return false; }
    // The strongest lock held on the document (kNotLocked when none).
    AcAp::DocLockMode lockMode(bool includeMyLocks = false) const;
    AcAp::DocLockMode myLockMode() const { return lockMode(true); }
    bool isQuiescent() const { return lockCount() == 0; }
    // Number of lock levels held (each lockDocument counts one).
    int lockCount() const { return int(locks_.size()); }
    // True while a lock that allows writing is held.
    bool isWriteLocked() const;

    // The view window and its history, changed by the automation object's zoom calls.
    const AcApView& view() const { return view_; }
    void setView(const AcApView& v, bool remember = true);
    bool previousView();
    size_t previousViewCount() const { return previousViews_.size(); }
    int regenCount() const { return regenCount_; }
    void regen() { ++regenCount_; }
    // Counts the write opens of the drawing (each passes the lock check).
    Adesk::UInt64 writeStamp() const { return writeStamp_; }
    // What the drawing's file held when the document read it or last saved to it.
    const docfile::FileContents& fileContents() const { return contents_; }

    // Whether the drawing differs from the file it was read from or last saved to. Every write marks
    // the database; once a baseline is taken, only a write that leaves an object saving otherwise than
    // it did does (not an object opened for write and left, nor a value set to what it was).
    bool isModified();
    // Takes the drawing as it is as what was read or saved: later writes are compared with it.
    void takeBaseline();

private:
    friend class AcApDocManager;
    AcApDocument() = default;
    std::wstring fileName_, title_;
    AcDbDatabase* database_ = nullptr; // owned
    std::vector<AcAp::DocLockMode> locks_;
    AcApView view_;
    std::vector<AcApView> previousViews_;
    int regenCount_ = 0;
    Adesk::UInt64 writeStamp_ = 0;
    docfile::FileContents contents_;
    AcApFilePlace place_;
};

class AcApDocManagerReactor : public AcRxObject {
public:
    virtual void documentCreateStarted(AcApDocument*) {}
    virtual void documentCreated(AcApDocument*) {}
    virtual void documentToBeDestroyed(AcApDocument*) {}
    virtual void documentDestroyed(const ACHAR* fileName) {}
    virtual void documentLockModeChanged(AcApDocument*, AcAp::DocLockMode myPreviousMode,
                                         AcAp::DocLockMode myCurrentMode, AcAp::DocLockMode currentMode,
                                         const ACHAR* pGlobalCmdName) {}
    virtual void documentBecameCurrent(AcApDocument*) {}
    virtual void documentToBeActivated(AcApDocument*) {}
    virtual void documentActivated(AcApDocument*) {}
};

class AcApDocumentIterator {
public:
    explicit AcApDocumentIterator(std::vector<AcApDocument*> docs) : docs_(std::move(docs)) {}
    bool done() const { return i_ >= docs_.size(); }
    void step() { ++i_; }
    AcApDocument* document() const { return done() ? nullptr : docs_[i_]; }

private:
    std::vector<AcApDocument*> docs_;
    size_t i_ = 0;
};

class AcApDocManager : public AcRxObject {
public:
    AcApDocument* curDocument() const { return current_; }
    AcApDocument* mdiActiveDocument() const { return active_; }
    AcApDocument* document(const AcDbDatabase* db) const;
    int documentCount() const { return int(docs_.size()); }
    AcApDocumentIterator* newAcApDocumentIterator() const { return new AcApDocumentIterator(docs_); }
    bool isApplicationContext() const { return appContext_; }

    // Locks nest: each call counts one level, each unlock releases one. Unlocking a document
    // that holds no lock gives eLockViolation.
    Acad::ErrorStatus lockDocument(AcApDocument* doc, AcAp::DocLockMode mode = AcAp::kWrite,
                                   const ACHAR* globalCmdName = nullptr, const ACHAR* localCmdName = nullptr,
                                   bool prompt = true);
    Acad::ErrorStatus unlockDocument(AcApDocument* doc);

    // Opens a DXF drawing (Windows-form or native path) as a new document that becomes current
    // and active. A DWG file is refused with eDwgNotRecognized; the reason is in lastError().
    Acad::ErrorStatus appContextOpenDocument(const ACHAR* drawingName);
    Acad::ErrorStatus appContextNewDocument(const ACHAR* templateName);
    Acad::ErrorStatus closeDocument(AcApDocument* doc);
    Acad::ErrorStatus appContextCloseDocument(AcApDocument* doc) { return closeDocument(doc); }
    Acad::ErrorStatus setCurDocument(AcApDocument* doc, AcAp::DocLockMode mode = AcAp::kNone, bool activate = false);
    Acad::ErrorStatus activateDocument(AcApDocument* doc, bool passScript = false);
    // Queues text as input for the document; an escape character cancels the waiting prompt.
    Acad::ErrorStatus sendStringToExecute(AcApDocument* doc, const ACHAR* text, bool activate = true,
                                          bool wrapUpInactiveDoc = false, bool echoString = true);

    void addReactor(AcApDocManagerReactor* reactor);
    void removeReactor(AcApDocManagerReactor* reactor);

    void pushResourceHandle(HINSTANCE handle);
    void pushAcadResourceHandle();
    void popResourceHandle();
    // The resource handle on top of the stack (null: the host's own).
    HINSTANCE currentResourceHandle() const;
    size_t resourceDepth() const { return resources_.size(); }

    // Saves the document's drawing to a Windows-form or native path (DXF); why tells a failure. Its own
    // file is replaced only while it bears the stamp it had when found unchanged (or agreed to be
    // replaced): given, or found here, refusing a file another session or program wrote since.
    Acad::ErrorStatus saveDocument(AcApDocument* doc, const ACHAR* fileName, std::wstring& why,
                                   const docfile::FileStamp* unchangedSince = nullptr);
    // The open document of the file (however its name is written, links followed), other than `except`;
    // null when none.
    AcApDocument* documentHolding(const ACHAR* fileName, const AcApDocument* except = nullptr) const;
    // Whether a save of the document to the file would replace what another session or program wrote
    // there since the document read it or last saved to it.
    // `seen`, when given, gets the stamp the file bore as it was compared (see saveDocument).
    bool fileChangedSince(const AcApDocument* doc, const ACHAR* fileName, docfile::FileStamp* seen = nullptr) const;
    // Whether the drawing's own name now lies in another folder than the one it was read from or last saved
    // in (its folder renamed and another put at its name): a save there would leave the drawing elsewhere.
    bool folderReplacedSince(const AcApDocument* doc, const ACHAR* fileName) const;
    // Host side: adopt a database (built by a test or read by the host) as a new current document.
    AcApDocument* addDocument(AcDbDatabase* database, const std::wstring& fileName);
    // Host side: the next lock requests fail with this status (eOk: none fail). For tests.
    void setLockFailure(Acad::ErrorStatus status, int count = 1);
    // Host side: commands run inside the application context (session commands) or a document's.
    void setApplicationContext(bool on) { appContext_ = on; }
    const std::wstring& lastError() const { return lastError_; }
    // Closes every document (the host is ending); nothing is saved.
    void closeAll();

private:
    // The working database follows the current document.
    void syncWorkingDatabase();
    std::vector<AcApDocument*> docs_;
    AcApDocument* current_ = nullptr;
    AcApDocument* active_ = nullptr;
    std::vector<AcApDocManagerReactor*> reactors_;
    std::vector<HINSTANCE> resources_;
    Acad::ErrorStatus lockFailure_ = Acad::eOk;
    int lockFailures_ = 0;
    bool appContext_ = false;
    std::wstring lastError_;
};

AcApDocManager* acDocManagerPtr();
#define acDocManager acDocManagerPtr()
AcApDocument* curDoc();
