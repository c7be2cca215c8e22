// The documents' side that touches their drawings: opening, saving, the lock check.
#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "cad/app/DrawingLock.h"
#include "cad/dxf/DxfDatabase.h"
#include "cad/editor/EdSelection.h"
#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"
#include "win/WinApi.h"

#include <sys/stat.h>

#include <cwctype>
#include <filesystem>

namespace {

std::wstring lowerExtension(const std::wstring& path) {
    size_t dot = path.find_last_of(L'.');
    size_t sep = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (sep != std::wstring::npos && dot < sep)) return L"";
    std::wstring e = path.substr(dot);
    for (wchar_t& c : e) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return e;
}

// Why a file name cannot be read or written as a drawing, in the user's words; empty when it may.
std::wstring pathProblem(const std::string& native, bool forWriting) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(native, ec)) return L"it is a folder, not a drawing";
    if (forWriting) {
        fs::path folder = fs::path(native).parent_path();
        if (!folder.empty() && !fs::is_directory(folder, ec)) return L"the folder does not exist";
    }
    return L"";
}

std::wstring windowsForm(const std::wstring& path) {
    if ((path.size() >= 2 && path[1] == L':') || path.rfind(L"\\\\", 0) == 0) return path;
    return win::nativeToWindows(win::toNative(path));
}

// The document being saved: its own file is the one file held open that its save may replace.
const AcApDocument* g_saving = nullptr;

// No writer replaces the file of an open drawing, nor of one another session holds.
std::string heldFileRefusal(const std::string& file) {
    const std::wstring path = win::nativeToWindows(file);
    // A drawing's own file is its to save, also when another session holds it: what that session
    // saved there is the host's to weigh before the save.
    if (const AcApDocument* holder = acDocManager->documentHolding(path.c_str()))
        return holder == g_saving ? std::string()
                                  : "it is the file of the open drawing " + win::toNative(holder->fileName());
    if (std::optional<docfile::LockHolder> other = docfile::lockHolder(file))
        return "it is a drawing open in another session (" + docfile::describe(*other) + ")";
    return {};
}

// The file of a native or Windows path with its links followed; empty when it cannot be mapped.
std::string linkedNative(const std::wstring& path) {
    std::string native;
    if (!win::mapToNative(windowsForm(path).c_str(), native, nullptr)) return {};
    return win::linkedFile(native);
}

// Where the drawing's file is found now: the file its links lead to, and the folder and name given.
AcApFilePlace placeOf(const std::wstring& path) {
    AcApFilePlace place;
    std::string native;
    if (!win::mapToNative(windowsForm(path).c_str(), native, nullptr)) return place;
    if (const std::string file = win::linkedFile(native); !file.empty()) place.file = docfile::stampOf(file);
    place.folder = docfile::stampOf(win::folderOf(native));
    place.name = win::nameOf(native);
    return place;
}

bool sameFile(const docfile::FileStamp& a, const docfile::FileStamp& b) {
    return a.exists && b.exists && a.device == b.device && a.file == b.file;
}

} // namespace

void AcApDocManager::syncWorkingDatabase() {
    acdbSetWorkingDatabase(current_ ? current_->database() : nullptr);
}

AcApDocument::~AcApDocument() {
    ed::invalidateSelectionIndex(database_);
    delete database_;
}

AcApDocument* AcApDocManager::addDocument(AcDbDatabase* database, const std::wstring& fileName) {
    static const bool checking = [] {
        win::setHeldFileCheck(heldFileRefusal);
        return true;
    }();
    (void)checking;
    auto* doc = new AcApDocument();
    doc->database_ = database;
    doc->fileName_ = fileName;
    size_t cut = fileName.find_last_of(L"\\/");
    doc->title_ = fileName.empty() ? L"Drawing" + std::to_wstring(docs_.size() + 1) + L".dwg"
                                   : (cut == std::wstring::npos ? fileName : fileName.substr(cut + 1));
    if (database) {
        database->setLockCheck([doc]() {
            ++doc->writeStamp_;
            return doc->isWriteLocked();
        });
    }
    for (AcApDocManagerReactor* r : std::vector(reactors_)) r->documentCreateStarted(doc);
    docs_.push_back(doc);
    for (AcApDocManagerReactor* r : std::vector(reactors_)) r->documentCreated(doc);
    activateDocument(doc);
    return doc;
}

Acad::ErrorStatus AcApDocManager::appContextOpenDocument(const ACHAR* drawingName) {
    lastError_.clear();
    if (!drawingName || !*drawingName) {
        lastError_ = L"no file name";
        return Acad::eInvalidInput;
    }
    std::wstring path = windowsForm(drawingName);
    std::wstring ext = lowerExtension(path);
    if (ext == L".dwg") {
        lastError_ = L"DWG drawings cannot be opened here; save the drawing as DXF";
        return Acad::eDwgNotRecognized;
    }
    std::string native;
    DWORD err = 0;
    if (!win::mapToNative(path.c_str(), native, &err)) {
        lastError_ =
            (err == ERROR_BAD_NETPATH ? L"network paths cannot be used here: " : L"the path cannot be used: ") + path;
        return Acad::eFileNotFound;
    }
    if (std::wstring problem = pathProblem(native, false); !problem.empty()) {
        lastError_ = path + L": " + problem;
        return Acad::eFileAccessErr;
    }
    auto* db = new AcDbDatabase(false, true);
    docfile::FileContents read;
    Acad::ErrorStatus es = dxf::readDxfFile(db, path.c_str(), &read);
    if (es != Acad::eOk) {
        // The reader's own words say why the file was refused.
        std::wstring why;
        for (const std::string& problem : dxf::lastDxfProblems(db))
            why += (why.empty() ? L"" : L"; ") + win::fromNative(problem);
        dxf::setDxfProblems(db, {});
        delete db;
        lastError_ = std::wstring(acadErrorStatusText(es)) + (why.empty() ? L" reading " + path : L": " + why);
        return es;
    }
    AcApDocument* doc = addDocument(db, path);
    doc->contents_ = read;
    doc->place_ = placeOf(path);
    return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::appContextNewDocument(const ACHAR*) {
    addDocument(new AcDbDatabase(true, true), L"");
    return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::saveDocument(AcApDocument* doc, const ACHAR* fileName, std::wstring& why,
                                               const docfile::FileStamp* unchangedSince) {
    if (!doc || !doc->database() || !fileName || !*fileName) {
        why = L"nothing to save";
        return Acad::eInvalidInput;
    }
    if (const std::string refused = win::nameRefusal(fileName); !refused.empty()) {
        why = win::fromNative(refused);
        return Acad::eFileAccessErr;
    }
    std::wstring path = windowsForm(fileName);
    std::wstring ext = lowerExtension(path);
    if (ext != L".dxf") {
        why = L"drawings are saved as DXF (the name must end in .dxf)";
        return Acad::eInvalidFileExtension;
    }
    std::string native;
    DWORD err = 0;
    if (!win::mapToNative(path.c_str(), native, &err)) {
        why = err == ERROR_BAD_NETPATH ? L"network paths cannot be used here" : L"the path cannot be used";
        return Acad::eFileAccessErr;
    }
    if (std::wstring problem = pathProblem(native, true); !problem.empty()) {
        why = problem;
        return Acad::eFileAccessErr;
    }
    docfile::FileStamp seen;
    if (!unchangedSince) {
        if (folderReplacedSince(doc, path.c_str())) {
            why =
                L"its folder is no longer the one the drawing was read from (it was renamed or replaced "
                L"since); nothing was written there: SAVEAS names where to save it";
            return Acad::eFileAccessErr;
        }
        if (fileChangedSince(doc, path.c_str(), &seen)) {
            why =
                L"it changed on disk since this session read or last saved it (another session or program "
                L"wrote it); it is left as it is: SAVEAS another name keeps both";
            return Acad::eFileAccessErr;
        }
        unchangedSince = &seen;
    }
    // A drawing moved away is made again as it was: with its own permissions, not a new file's.
    docfile::FileStamp since = *unchangedSince;
    if (const AcApFilePlace now = placeOf(path); !since.exists && doc->place_.file.exists &&
                                                 now.name == doc->place_.name &&
                                                 sameFile(now.folder, doc->place_.folder))
        since.mode = doc->place_.file.mode;
    docfile::FileContents written;
    g_saving = doc;
    Acad::ErrorStatus es = dxf::saveDxf(doc->database(), path.c_str(), &written, &since);
    g_saving = nullptr;
    if (es != Acad::eOk) {
        std::string reason = dxf::lastSaveProblem(doc->database());
        why = es == Acad::eFileAccessErr
                  ? L"the file cannot be written: " +
                        (reason.empty() ? std::wstring(acadErrorStatusText(es)) : win::fromNative(reason))
                  : std::wstring(acadErrorStatusText(es));
        return es;
    }
    // As with SAVEAS, the document now bears the new name, and what it holds is saved.
    doc->database()->setModified(false);
    doc->contents_ = written;
    doc->fileName_ = path;
    doc->place_ = placeOf(path);
    size_t cut = path.find_last_of(L"\\/");
    doc->title_ = cut == std::wstring::npos ? path : path.substr(cut + 1);
    return es;
}

AcApDocument* AcApDocManager::documentHolding(const ACHAR* fileName, const AcApDocument* except) const {
    if (!fileName || !*fileName) return nullptr;
    const std::wstring path = windowsForm(fileName);
    std::string native;
    if (!win::mapToNative(path.c_str(), native, nullptr)) return nullptr;
    std::wstring location;
    for (AcApDocument* d : docs_) {
        std::string other;
        std::error_code ec;
        if (d == except || !*d->fileName() || !win::mapToNative(d->fileName(), other, nullptr)) continue;
        if (std::filesystem::equivalent(native, other, ec)) return d;
        // A file removed or replaced while its drawing is open is still where that drawing is saved. Names
        // that differ in letter case are two files here, both there: they are not taken for one.
        if (location.empty()) location = win::fileLocation(path.c_str(), false);
        if (!location.empty() && location == win::fileLocation(d->fileName(), false)) return d;
    }
    return nullptr;
}

bool AcApDocManager::fileChangedSince(const AcApDocument* doc, const ACHAR* fileName, docfile::FileStamp* seen) const {
    if (!doc || !fileName || doc->contents_.file.empty()) return false;
    const std::string target = linkedNative(fileName);
    if (target.empty()) return false;
    std::error_code ec;
    if (target == doc->contents_.file || std::filesystem::equivalent(target, doc->contents_.file, ec))
        return docfile::changedSince(doc->contents_, seen);
    // The file read, reached by another path (its folder renamed since): compared as it is.
    const AcApFilePlace now = placeOf(fileName);
    const AcApFilePlace& read = doc->place_;
    if (sameFile(now.file, read.file))
        return docfile::changedSince({target, doc->contents_.size, doc->contents_.hash}, seen);
    // The drawing's own name, leading to another file than the one read (a link repointed, a file put
    // there by another program): replacing it would lose that file and leave the drawing's unsaved.
    std::string native;
    struct stat st {};
    if (sameFile(now.folder, read.folder) && now.name == read.name &&
        win::mapToNative(windowsForm(fileName).c_str(), native, nullptr) && ::lstat(native.c_str(), &st) == 0) {
        if (seen) *seen = now.file;
        return true;
    }
    return false;
}

bool AcApDocManager::folderReplacedSince(const AcApDocument* doc, const ACHAR* fileName) const {
    if (!doc || !fileName || doc->fileName_.empty() || windowsForm(fileName) != doc->fileName_) return false;
    const AcApFilePlace now = placeOf(fileName);
    const AcApFilePlace& read = doc->place_;
    return read.folder.exists && now.folder.exists && now.name == read.name && !sameFile(now.folder, read.folder);
}

bool AcApDocument::isModified() {
    return database_ && database_->isModified();
}

void AcApDocument::takeBaseline() {
    if (database_) database_->trackChanges(dxf::objectFingerprint);
}
