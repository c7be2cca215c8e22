// The documents' side that touches their drawings: opening, saving, the lock check.
#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "cad/dxf/DxfDatabase.h"
#include "cad/editor/EdSelection.h"
#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/WinApi.h"

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
    return win::nativeToWindows(win::toUtf8(path));
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
    Acad::ErrorStatus es = db->readDxfFile(path.c_str());
    if (es != Acad::eOk) {
        // The reader's own words say why the file was refused.
        std::wstring why;
        for (const std::string& problem : dxf::lastDxfProblems(db))
            why += (why.empty() ? L"" : L"; ") + win::fromUtf8(problem);
        dxf::setDxfProblems(db, {});
        delete db;
        lastError_ = std::wstring(acadErrorStatusText(es)) + (why.empty() ? L" reading " + path : L": " + why);
        return es;
    }
    addDocument(db, path);
    return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::appContextNewDocument(const ACHAR*) {
    addDocument(new AcDbDatabase(true, true), L"");
    return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::saveDocument(AcApDocument* doc, const ACHAR* fileName, std::wstring& why) {
    if (!doc || !doc->database() || !fileName || !*fileName) {
        why = L"nothing to save";
        return Acad::eInvalidInput;
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
    Acad::ErrorStatus es = doc->database()->saveAs(path.c_str());
    if (es != Acad::eOk) {
        std::string reason = dxf::lastSaveProblem(doc->database());
        why = es == Acad::eFileAccessErr
                  ? L"the file cannot be written: " +
                        (reason.empty() ? std::wstring(acadErrorStatusText(es)) : win::fromUtf8(reason))
                  : std::wstring(acadErrorStatusText(es));
        return es;
    }
    // As with SAVEAS, the document now bears the new name, and what it holds is saved.
    doc->database()->setModified(false);
    doc->baseline_ = dxf::lastSavedTextDigest(doc->database());
    doc->knownChanged_ = false;
    doc->fileName_ = path;
    size_t cut = path.find_last_of(L"\\/");
    doc->title_ = cut == std::wstring::npos ? path : path.substr(cut + 1);
    return es;
}

bool AcApDocument::isModified() {
    if (!database_ || !database_->isModified()) {
        knownChanged_ = false;
        return false;
    }
    if (knownChanged_ || !baseline_) return true;
    // Written to but the same: the text is what it was read or saved as.
    if (dxf::textDigest(database_) == baseline_) {
        database_->setModified(false);
        return false;
    }
    knownChanged_ = true;
    return true;
}

void AcApDocument::takeBaseline() {
    if (database_ && !database_->isModified() && !baseline_) baseline_ = dxf::textDigest(database_);
}
