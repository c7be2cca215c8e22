#include "drawing/AcadDrawing.h"

#include <optional>

#include "cad/dxf/DxfDatabase.h"
#include "classlib/DispatchDriver.h"

#include "core/Catch.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/PreferencesOstrel.h"
#include "core/ServerPreferenceOstrel.h"
#include "core/HostApplication.h"
#include "drawing/AcadHost.h"
#include "drawing/AcadUtilities.h"
#include "win/Encoding.h"
#include "win/Files.h"
#include "win/Paths.h"
#include "win/TempNames.h"

KELMO_SOURCE_FILE(L"AcadDrawing.cpp");

namespace {

// The host's automation application, made visible as every view operation does first; the driver
// releases it at the end.
void visibleApplication(COleDispatchDriver& application) {
    application.AttachDispatch(AcadGetIDispatch(true), TRUE);
    application.SetProperty(automation::kAppVisible, VT_BOOL, TRUE);
}

// The application's active document.
void activeAutomationDocument(COleDispatchDriver& application, COleDispatchDriver& document) {
    LPDISPATCH active = nullptr;
    application.InvokeHelper(automation::kAppActiveDocument, DISPATCH_PROPERTYGET, VT_DISPATCH, &active, VTS_NONE);
    document.AttachDispatch(active, TRUE);
}

// A point as the automation object takes it: an array of three doubles, lower bound 0.
class PointVariant {
public:
    explicit PointVariant(const AcGePoint3d& point) {
        VariantInit(&m_variant);
        SAFEARRAYBOUND bound{3, 0};
        SAFEARRAY* array = SafeArrayCreate(VT_R8, 1, &bound);
        if (!array) AfxThrowOleException(E_OUTOFMEMORY);
        double coordinates[3] = {point.x, point.y, point.z};
        for (LONG i = 0; i < 3; ++i) {
            HRESULT stored = SafeArrayPutElement(array, &i, &coordinates[i]);
            if (FAILED(stored)) {
                SafeArrayDestroy(array);
                AfxThrowOleException(stored);
            }
        }
        m_variant.vt = VT_ARRAY | VT_R8;
        m_variant.parray = array;
    }
    ~PointVariant() { VariantClear(&m_variant); }
    PointVariant(const PointVariant&) = delete;
    PointVariant& operator=(const PointVariant&) = delete;
    const VARIANT& variant() const { return m_variant; }

private:
    VARIANT m_variant;
};

bool isOpenDocument(AcApDocument* document) {
    bool found = false;
    AcApDocumentIterator* documents = acDocManager->newAcApDocumentIterator();
    for (; !documents->done() && !found; documents->step()) found = documents->document() == document;
    delete documents;
    return found;
}

// Gives the user back the drawing that was active and current, when it is still open.
void restoreActive(AcApDocument* active, AcApDocument* current) {
    if (active && isOpenDocument(active) && acDocManager->mdiActiveDocument() != active)
        acDocManager->activateDocument(active);
    if (current && isOpenDocument(current) && acDocManager->curDocument() != current)
        acDocManager->setCurDocument(current);
}

// The open document that holds the file, or null.
AcApDocument* documentHolding(const CString& fullPath) {
    AcApDocument* found = nullptr;
    AcApDocumentIterator* documents = acDocManager->newAcApDocumentIterator();
    for (; !documents->done() && !found; documents->step()) {
        const CString name = documents->document()->fileName();
        if (!name.IsEmpty() && CFileUtilities::sameFile(name, fullPath)) found = documents->document();
    }
    delete documents;
    return found;
}

} // namespace

CAcadDrawing::CAcadDrawing() : m_document(nullptr) {
    initialise();
}

CAcadDrawing::CAcadDrawing(CString path, CString filename) : m_document(nullptr) {
    KELMO_TRY
        initialise();
        CFileUtilities::checkPathSyntax(path);
        CFileUtilities files;
        files.checkFilenameSyntax(filename, FALSE); // the name is kept as given whatever the check finds
        m_drawingPath = path;
        m_drawingFilename = filename;
        openDrawing();
    KELMO_CATCH(L"CAcadDrawing::CAcadDrawing")
}

void CAcadDrawing::initialise() {
    m_locked = 0;
    m_lockCount = 0;
    m_drawingOpen = 0;
    m_drawingPath = L"";
    m_drawingFilename = L"";
    m_leaveOpen = 0;
    m_saveOnClose = 0;
    m_openedHere = 0;
}

CAcadDrawing::~CAcadDrawing() {
    // Nothing leaves a destructor: a failure is shown in the error box instead.
    try {
        try {
            CString copyPath;
            if (m_drawingOpen == 1 && m_locked == 1) {
                // Still locked: the operation was cut short and the drawing is half done. It is
                // released, never saved nor copied over the user's file; a drawing this object
                // opened is closed unsaved.
                unlock(1);
                if (m_leaveOpen == 0 && m_openedHere == 1 && m_locked == 0) closeDrawing();
            } else if (m_drawingOpen == 1) {
                if (m_leaveOpen == 0) {
                    if (m_saveOnClose == 1) copyPath = saveAsTemp();
                    int closed = closeDrawing();
                    if (closed == 1 && !copyPath.IsEmpty())
                        CopyFileW(copyPath, m_drawingPath + m_drawingFilename, FALSE); // a failed copy is ignored
                }
            }
            m_tempFiles.deleteTempFiles();
        } catch (Acad::ErrorStatus status) {
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAcadDrawing::~CAcadDrawing", 161, L"",
                                   nullptr);
        }
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CAcadDrawing::~CAcadDrawing");
    }
}

AcDbDatabase* CAcadDrawing::getDatabase() const {
    return m_document ? m_document->database() : nullptr;
}

void CAcadDrawing::setDrawingFullPath(CString fullPath) {
    KELMO_TRY
        if (fullPath.IsEmpty()) return;
        int backslash = fullPath.ReverseFind(L'\\');
        if (backslash < 0) {
            m_drawingFilename = fullPath;
            return;
        }
        m_drawingPath = fullPath.Left(backslash + 1);
        m_drawingFilename = fullPath.Mid(backslash + 1);
    KELMO_CATCH(L"CAcadDrawing::setDrawingFullPath")
}

Acad::ErrorStatus CAcadDrawing::lock() {
    KELMO_TRY
        if (m_locked == 1) {
            ++m_lockCount;
            return Acad::eOk;
        }
        Acad::ErrorStatus status = acDocManager->lockDocument(m_document, AcAp::kWrite, nullptr, nullptr, true);
        if (status == Acad::eOk) {
            m_lockCount = 1;
            m_locked = 1;
        }
        return status;
    KELMO_CATCH(L"CAcadDrawing::lock")
}

Acad::ErrorStatus CAcadDrawing::unlock(int force) {
    KELMO_TRY
        Acad::ErrorStatus result = Acad::eLockViolation;
        if (force != 0) {
            result = acDocManager->unlockDocument(m_document);
            if (result == Acad::eOk) {
                m_locked = 0;
                m_lockCount = 0;
            }
            return result;
        }
        // Only the lock this object holds is released: an unbalanced unlock touches nothing.
        if (m_locked != 1) return result;
        --m_lockCount;
        if (m_lockCount > 0) return result;
        result = acDocManager->unlockDocument(m_document);
        if (result == Acad::eOk) {
            m_locked = 0;
            m_lockCount = 0;
        } else {
            m_lockCount = 1; // still held: the level stays to be released
        }
        return result;
    KELMO_CATCH(L"CAcadDrawing::unlock")
}

Acad::ErrorStatus CAcadDrawing::postToDrawing(AcDbObjectId& id, AcDbEntity* entity, AcDbObjectId space) {
    const wchar_t* method = L"CAcadDrawing::postToDrawing";
    id.setNull();
    bool appended = false;
    bool lockTaken = false;
    AcDbBlockTable* blockTable = nullptr;
    AcDbBlockTableRecord* target = nullptr;
    // Whatever way it leaves, the function gives back its lock level and closes what it opened;
    // an entity that did not reach the drawing is deleted.
    auto cleanUp = [&]() {
        if (target) target->close();
        if (blockTable) blockTable->close();
        if (!appended) {
            // An entity some database holds already is that database's.
            if (entity && !entity->isDatabaseResident()) delete entity;
            id.setNull();
        }
        if (lockTaken) unlock(0);
    };
    try {
        try {
            AcDbDatabase* database = getDatabase();
            Acad::ErrorStatus status = lock();
            if (status != Acad::eOk) {
                cleanUp();
                return status;
            }
            lockTaken = true;
            status = database->getBlockTable(blockTable, AcDb::kForRead);
            if (status != Acad::eOk) {
                blockTable = nullptr;
                throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, method, 373, L"", nullptr);
            }
            status = space.isNull() ? blockTable->getAt(ACDB_MODEL_SPACE, target, AcDb::kForWrite)
                                    : acdbOpenObject(target, space, AcDb::kForWrite);
            if (status != Acad::eOk) {
                target = nullptr;
                throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, method, 382, L"", nullptr);
            }
            status = target->appendAcDbEntity(id, entity);
            if (status != Acad::eOk)
                throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, method, 391, L"", nullptr);
            appended = true;
            entity->close();
            cleanUp();
            return Acad::eOk;
        } catch (Acad::ErrorStatus status) {
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, method, 404, L"", nullptr);
        }
    } catch (...) {
        try {
            cleanUp();
        } catch (...) {
            // The first failure is the one to report.
        }
        kelmo::rethrowWrapped(kelmoSourceFile, method, kelmo::catchClassLib);
    }
}

void CAcadDrawing::zoomExtents() {
    KELMO_TRY
        COleDispatchDriver application;
        visibleApplication(application);
        application.InvokeHelper(automation::kAppZoomExtents, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
    KELMO_CATCH_ALSO(L"CAcadDrawing::zoomExtents", kelmo::catchClassLib)
}

void CAcadDrawing::zoomPrevious() {
    KELMO_TRY
        COleDispatchDriver application;
        visibleApplication(application);
        application.InvokeHelper(automation::kAppZoomPrevious, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE);
    KELMO_CATCH_ALSO(L"CAcadDrawing::zoomPrevious", kelmo::catchClassLib)
}

void CAcadDrawing::zoomWindow(AcGePoint3d corner1, AcGePoint3d corner2) {
    KELMO_TRY
        COleDispatchDriver application;
        visibleApplication(application);
        PointVariant first(corner1);
        PointVariant second(corner2);
        application.InvokeHelper(automation::kAppZoomWindow, DISPATCH_METHOD, VT_EMPTY, nullptr,
                                 VTS_VARIANT VTS_VARIANT, first.variant(), second.variant());
    KELMO_CATCH_ALSO(L"CAcadDrawing::zoomWindow", kelmo::catchClassLib)
}

int CAcadDrawing::regenDrawing() {
    KELMO_TRY
        COleDispatchDriver application;
        visibleApplication(application);
        COleDispatchDriver document;
        activeAutomationDocument(application, document);
        document.InvokeHelper(automation::kDocRegen, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_I4, 1L); // all viewports
        return 1;
    KELMO_CATCH_ALSO(L"CAcadDrawing::regenDrawing", kelmo::catchClassLib)
}

void CAcadDrawing::openDrawing() {
    KELMO_TRY
        CString fullPath = m_drawingPath + m_drawingFilename;
        // A drawing the user has open already is worked on there, and stays the user's: a second copy
        // of the file would be saved over by whichever copy is saved last.
        if (AcApDocument* open = documentHolding(fullPath)) {
            acDocManager->activateDocument(open);
            m_document = open;
            m_drawingOpen = 1;
            return;
        }
        try {
            Acad::ErrorStatus status = acDocManager->appContextOpenDocument(fullPath);
            if (status != Acad::eOk)
                throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAcadDrawing::openDrawing", 561, L"",
                                       nullptr);
        } catch (Acad::ErrorStatus status) {
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAcadDrawing::openDrawing", 566, fullPath,
                                   nullptr);
        }
        m_document = acDocManager->curDocument();
        m_drawingOpen = 1;
        m_openedHere = 1;
    KELMO_CATCH(L"CAcadDrawing::openDrawing")
}

int CAcadDrawing::closeDrawing() {
    KELMO_TRY
        // This object's own document, never just the active one: that may be the drawing the user
        // is working on. The automation object closes the active document, so the own one is made
        // active for the call and the user's drawing made active again afterwards.
        if (!m_document || !isOpenDocument(m_document)) return 0;
        AcApDocument* wasActive = acDocManager->mdiActiveDocument();
        AcApDocument* wasCurrent = acDocManager->curDocument();
        if (wasActive != m_document && acDocManager->activateDocument(m_document) != Acad::eOk) return 0;
        bool closed = false;
        try {
            COleDispatchDriver application;
            visibleApplication(application);
            COleDispatchDriver document;
            activeAutomationDocument(application, document);
            VARIANT saveChanges;
            VariantInit(&saveChanges);
            saveChanges.vt = VT_BOOL;
            saveChanges.boolVal = VARIANT_FALSE;
            VARIANT fileName; // left out: the automation object's "parameter not found"
            VariantInit(&fileName);
            fileName.vt = VT_ERROR;
            fileName.scode = DISP_E_PARAMNOTFOUND;
            document.InvokeHelper(automation::kDocClose, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_VARIANT VTS_VARIANT,
                                  saveChanges, fileName);
            closed = !isOpenDocument(m_document);
        } catch (...) {
            restoreActive(wasActive, wasCurrent);
            throw;
        }
        restoreActive(wasActive, wasCurrent);
        if (!closed) return 0;
        m_document = nullptr;
        m_drawingOpen = 0;
        return 1;
    KELMO_CATCH_ALSO(L"CAcadDrawing::closeDrawing", kelmo::catchClassLib)
}

CString CAcadDrawing::getTempFolder() {
    KELMO_TRY
        CString folder;
        if (g_serverPreferences.getCount() > 0 && g_serverPreferences.getAt(0))
            folder = g_serverPreferences.getAt(0)->getAcadTempDirectory();
        // Without a server entry the module's own temporary folder holds the copies.
        if (folder.IsEmpty()) folder = g_tempDirectory;
        CFileUtilities::checkPathSyntax(folder);
        return folder;
    KELMO_CATCH(L"CAcadDrawing::getTempFolder")
}

CString CAcadDrawing::savedCopyName(CString filename) {
    KELMO_TRY
        return CFileUtilities::swapFileExtension(filename, L".dwg", L".krp");
    KELMO_CATCH(L"CAcadDrawing::savedCopyName")
}

CString CAcadDrawing::saveAsTemp() {
    KELMO_TRY
        CString folder = getTempFolder();
        CString stamp = COleDateTime::GetCurrentTime().Format(L"%Y%m%d%Hh%M%S_");
        CString path = folder + stamp + savedCopyName(m_drawingFilename);
        if (m_drawingOpen == 1) {
            Acad::ErrorStatus status = getDatabase()->saveAs(path);
            if (status != Acad::eOk)
                throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CAcadDrawing::saveAsTemp", 786, path,
                                       nullptr);
        }
        m_tempFiles.add(path);
        return path;
    KELMO_CATCH_ALSO(L"CAcadDrawing::saveAsTemp", kelmo::catchClassLib)
}

int CAcadDrawing::saveAs(CString path, CString filename, const BeforePlacing& beforePlacing) {
    KELMO_TRY
        const wchar_t* method = L"CAcadDrawing::saveAs";
        CString folder = getTempFolder();
        CFileUtilities::ensureDirectoryExists(folder);
        // A copy's name may use the whole file-name limit: the temporary one is cut to fit it.
        const CString copyName = savedCopyName(filename);
        const CString extension = copyName.Right(4);
        const std::string head = win::toNative(static_cast<const wchar_t*>(copyName.Left(copyName.GetLength() - 4)));
        CString tempPath = folder + CString(win::fromNative(win::nameForTemporary(head, 4)).c_str()) + extension;
        // Only a drawing saved now may be delivered: a file left at the temporary name by an
        // earlier run is stale.
        Acad::ErrorStatus status = Acad::eNoDatabase;
        if (m_drawingOpen == 1 && getDatabase()) status = getDatabase()->saveAs(tempPath);
        if (status != Acad::eOk) {
            // Why the write failed (a full disk, a file size limit) goes with it to the report's status line.
            CString why = L"unable to save drawing to temp location " + tempPath;
            const std::string problem = getDatabase() ? dxf::lastSaveProblem(getDatabase()) : std::string();
            if (!problem.empty()) why += L": " + CString(win::fromNative(problem).c_str());
            throw new CEXCustom(why, KELMO_BANNER, kelmoSourceFile, method, 0, nullptr);
        }
        m_tempFiles.add(tempPath);
        // Copied whole beside the target first: a copy that fails, or is not to be placed, leaves the
        // earlier file.
        win::StagedFile staged(path + filename);
        if (!staged.made())
            throw new CEXCustom(L"unable to copy drawing from temp location - " + CString(staged.why().c_str()),
                                KELMO_BANNER, kelmoSourceFile, method, 0, nullptr);
        if (!CopyFileW(tempPath, staged.path().c_str(), FALSE)) {
            DWORD code = GetLastError();
            CString reason = code != 0 ? windowsErrorText(code) : CString(L"the copy failed");
            throw new CEXCustom(L"unable to copy drawing from temp location - " + reason, KELMO_BANNER, kelmoSourceFile,
                                method, 0, nullptr);
        }
        staged.holdWritten();
        if (beforePlacing) beforePlacing();
        if (!staged.place())
            throw new CEXCustom(L"unable to copy drawing from temp location - " + CString(staged.why().c_str()),
                                KELMO_BANNER, kelmoSourceFile, method, 0, nullptr);
        return 0;
    KELMO_CATCH_ALSO(L"CAcadDrawing::saveAs", kelmo::catchClassLib)
}

CString CAcadDrawing::windowsErrorText(DWORD code) {
    KELMO_TRY
        LPWSTR buffer = nullptr;
        DWORD length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
        CString text;
        if (length > 0 && buffer) {
            text = buffer;
            int cut = text.Find(L'\r');
            if (cut >= 0) text = text.Left(cut);
        }
        if (buffer) LocalFree(buffer);
        return text;
    KELMO_CATCH(L"CAcadDrawing::windowsErrorText")
}

namespace {

// Holds the current document's lock for the length of a plot.
class PlotLock {
public:
    PlotLock() : m_document(acDocManager->curDocument()) {
        if (m_document && acDocManager->lockDocument(m_document, AcAp::kWrite) != Acad::eOk) m_document = nullptr;
    }
    ~PlotLock() {
        if (m_document) acDocManager->unlockDocument(m_document);
    }
    PlotLock(const PlotLock&) = delete;
    PlotLock& operator=(const PlotLock&) = delete;

private:
    AcApDocument* m_document;
};

// The host's FILEDIA setting as it was found; put back when the object goes.
class FileDialogSetting {
public:
    FileDialogSetting() {
        resbuf value;
        m_found = acedGetVar(L"FILEDIA", &value) == RTNORM && value.restype == RTSHORT;
        m_value = m_found ? value.resval.rint : 1;
    }
    ~FileDialogSetting() { restore(); }
    FileDialogSetting(const FileDialogSetting&) = delete;
    FileDialogSetting& operator=(const FileDialogSetting&) = delete;

    static void set(short setting) {
        resbuf value;
        value.rbnext = nullptr;
        value.restype = RTSHORT;
        value.resval.rint = setting;
        acedSetVar(L"FILEDIA", &value);
    }
    void restore() {
        if (m_found) set(m_value);
    }

private:
    bool m_found;
    short m_value;
};

// What a plot makes for itself, given back on every way out.
struct PlotParts {
    AcDbPlotSettings* settings = nullptr;
    AcPlPlotEngine* engine = nullptr;
    AcPlPlotProgressDialog* progress = nullptr;
    PlotParts() = default;
    PlotParts(const PlotParts&) = delete;
    PlotParts& operator=(const PlotParts&) = delete;
    ~PlotParts() {
        if (engine) engine->destroy();
        if (progress) progress->destroy();
        delete settings;
    }
};

// A plot's failure names the file the plot was for, not the temporary it was written to.
CString namingTarget(CString failure, const CString& staged, const CString& target) {
    std::string native;
    DWORD error = 0;
    if (win::mapToNative(staged, native, &error)) failure.Replace(win::fromNative(native).c_str(), target);
    failure.Replace(staged, target);
    return failure;
}

bool fileHasContent(const CString& path) {
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone)) return false;
    ULONGLONG length = file.GetLength();
    file.Close();
    return length > 0;
}

} // namespace

int CAcadDrawing::plot(CString& layoutName, CString folder, CString fileName, int plotType, int applySettings,
                       int plotCentred, int plotScaleType, int plotAreaType, int plotMediaId, int unrotated,
                       const BeforePlacing& beforePlacing) {
    KELMO_TRY
        m_plotFailure.Empty();
        // Nothing can be plotted from a drawing that is not open.
        if (m_drawingOpen != 1 || !m_document) return failedPlot(L"the drawing is not open");
        CFileUtilities::checkPathSyntax(folder);
        CAcadUtilities utilities;
        utilities.checkPlotFileExtension(fileName, plotType);
        if (!CFileUtilities::directoryExists(folder)) return plotNoFolder;
        const CString fullPath = folder + fileName;
        // The plot is written whole beside the target and renamed over it: one that fails leaves the earlier
        // plot beside the earlier copy and XML, which still match it. The other host's export takes the
        // format from the file's extension and names the file on the command line: it writes the target
        // itself, removing an earlier file first.
        std::optional<win::StagedFile> staged;
        if (g_hostApplication.getHostType() != CHostApplication::hostBricsCAD) {
            staged.emplace(fullPath);
            if (!staged->made()) return failedPlot(fullPath + L" cannot be written: " + staged->why().c_str());
        } else if (beforePlacing) {
            beforePlacing();
        }
        const CString writeTo = staged ? CString(staged->path().c_str()) : fullPath;
        int state = plotToFile(layoutName, writeTo, plotType, applySettings, plotCentred, plotScaleType, plotAreaType,
                               plotMediaId, unrotated);
        if (staged) staged->holdWritten();
        m_plotFailure = namingTarget(m_plotFailure, writeTo, fullPath);
        if (state != plotDone) return state;
        if (!fileHasContent(writeTo))
            return failedPlot(m_plotFailure.IsEmpty() ? L"the plot wrote nothing to " + fullPath : m_plotFailure);
        if (staged) {
            if (beforePlacing) beforePlacing();
            if (!staged->place()) return failedPlot(fullPath + L" cannot be written: " + staged->why().c_str());
        }
        return plotDone;
    KELMO_CATCH_ALSO(L"CAcadDrawing::plot", kelmo::catchClassLib)
}

int CAcadDrawing::failedPlot(const CString& why) {
    m_plotFailure = why;
    return plotFailed;
}

int CAcadDrawing::plotToFile(CString& layoutName, CString fullPath, int plotType, int applySettings, int plotCentred,
                             int plotScaleType, int plotAreaType, int plotMediaId, int unrotated) {
    KELMO_TRY
        if (g_hostApplication.getHostType() == CHostApplication::hostBricsCAD)
            return bricsCADPlotToFile(layoutName, fullPath, plotType, applySettings, plotCentred, plotScaleType,
                                      plotAreaType, plotMediaId, unrotated);
        return autoCADPlotToFile(layoutName, fullPath, plotType, applySettings, plotCentred, plotScaleType,
                                 plotAreaType, plotMediaId, unrotated);
    KELMO_CATCH(L"CAcadDrawing::plotToFile")
}

void CAcadDrawing::applyPlotSettings(CString layoutName, int plotType, int applySettings, int plotAreaType,
                                     int plotScaleType, int plotCentred, int plotMediaId, int unrotated) {
    KELMO_TRY
        AcDbLayout* layout = acdbHostApplicationServices()->layoutManager()->findLayoutNamed(layoutName, true);
        if (!layout) return;
        try {
            AcDbPlotSettingsValidator* validator = acdbHostApplicationServices()->plotSettingsValidator();
            CAcadUtilities utilities;
            validator->refreshLists(layout);
            validator->setPlotCfgName(layout, utilities.convertPlotDevice(utilities.convertPlotDevice(plotType)),
                                      nullptr);
            if (applySettings != 0) {
                layout->setPlotPlotStyles(true);
                layout->setPrintLineweights(true);
                layout->setScaleLineweights(true);
                validator->setPlotType(layout, static_cast<AcDbPlotSettings::PlotType>(plotAreaType));
                validator->setUseStandardScale(layout, true);
                validator->setStdScaleType(layout, static_cast<AcDbPlotSettings::StdScaleType>(plotScaleType));
                validator->setPlotCentered(layout, plotCentred != 0);
                validator->setCanonicalMediaName(layout,
                                                 utilities.convertMediaSize(utilities.convertMediaSize(plotMediaId)));
                validator->setPlotRotation(layout,
                                           unrotated != 0 ? AcDbPlotSettings::k0degrees : AcDbPlotSettings::k90degrees);
            } else {
                validator->setPlotType(layout, AcDbPlotSettings::kExtents);
                validator->setUseStandardScale(layout, true);
                validator->setStdScaleType(layout, AcDbPlotSettings::kScaleToFit);
            }
        } catch (...) {
            layout->close();
            throw;
        }
        layout->close();
    KELMO_CATCH(L"CAcadDrawing::applyPlotSettings")
}

int CAcadDrawing::autoCADPlotToFile(CString& layoutName, CString fullPath, int plotType, int applySettings,
                                    int plotCentred, int plotScaleType, int plotAreaType, int plotMediaId,
                                    int unrotated) {
    KELMO_TRY
        PlotLock documentLock;
        AcDbLayoutManager* layouts = acdbHostApplicationServices()->layoutManager();
        if (!layoutName.IsEmpty()) {
            layouts->setCurrentLayout(layoutName);
        } else {
            const ACHAR* active = layouts->findActiveLayout(true);
            layoutName = active ? active : L"";
        }
        applyPlotSettings(layoutName, plotType, applySettings, plotAreaType, plotScaleType, plotCentred, plotMediaId,
                          unrotated);

        // A copy of the layout's settings overrides them for this plot only.
        AcDbPlotSettings* settings = nullptr;
        AcDbObjectId layoutId;
        AcDbBlockTableRecord* record = nullptr;
        if (acdbOpenObject(record, layouts->getActiveLayoutBTRId(), AcDb::kForRead) == Acad::eOk) {
            layoutId = record->getLayoutId();
            record->close();
            AcDbLayout* layout = nullptr;
            if (acdbOpenObject(layout, layoutId, AcDb::kForWrite) == Acad::eOk) {
                settings = static_cast<AcDbPlotSettings*>(layout->AcDbPlotSettings::cloneData());
                settings->setModelType(layout->modelType());
                acdbHostApplicationServices()->plotSettingsValidator()->refreshLists(layout);
                layout->close();
            }
        }

        // The engine, its dialog and the settings go however the plot ends (short of memory, say).
        PlotParts parts;
        parts.settings = settings;
        if (settings && AcPlPlotFactory::createPublishEngine(parts.engine) == Acad::eOk && parts.engine) {
            AcPlPlotEngine* engine = parts.engine;
            CAcadUtilities utilities;
            parts.progress = acplCreatePlotProgressDialog(nullptr, false, 1, nullptr, true);
            AcPlPlotProgressDialog* progress = parts.progress;
            CString device = utilities.convertPlotDevice(utilities.convertPlotDevice(plotType));
            progress->setPlotMsgString(AcPlPlotProgressDialog::kDialogTitle, L"KELMO Grevalo - " + device);
            progress->setPlotMsgString(AcPlPlotProgressDialog::kCancelJobBtnMsg, L"Cancel Job");
            progress->setPlotMsgString(AcPlPlotProgressDialog::kCancelSheetBtnMsg, L"Cancel Sheet");
            progress->setPlotMsgString(AcPlPlotProgressDialog::kSheetSetProgressCaption, L"Job Progress");
            progress->setPlotMsgString(AcPlPlotProgressDialog::kSheetProgressCaption, L"Sheet Progress");
            progress->setPlotProgressRange(0, 100);
            progress->onBeginPlot();
            progress->setIsVisible(true);

            engine->beginPlot(progress);
            AcPlPlotInfo info;
            info.setLayout(layoutId);
            info.setOverrideSettings(settings);
            AcPlPlotInfoValidator validator;
            validator.setMediaMatchingPolicy(AcPlPlotInfoValidator::kMatchEnabled);
            validator.validate(info);
            const ACHAR* documentName = acDocManager->curDocument() ? acDocManager->curDocument()->fileName() : L"";
            // The first step the engine refuses says why the plot wrote nothing.
            const auto step = [&](Acad::ErrorStatus status) {
                if (status != Acad::eOk && m_plotFailure.IsEmpty())
                    m_plotFailure = engine->lastError().empty() ? CString(acadErrorStatusText(status))
                                                                : CString(engine->lastError().c_str());
            };
            step(engine->beginDocument(info, documentName, nullptr, 1, true, fullPath));
            progress->onBeginSheet();
            progress->setSheetProgressRange(0, 100);
            progress->setSheetProgressPos(0);
            AcPlPlotPageInfo pageInfo;
            step(engine->beginPage(pageInfo, info, true));
            step(engine->beginGenerateGraphics());
            step(engine->endGenerateGraphics());
            step(engine->endPage());
            progress->setSheetProgressPos(100);
            progress->onEndSheet();
            progress->setPlotProgressPos(100);
            step(engine->endDocument());
            engine->endPlot();
        }
        return plotDone;
    KELMO_CATCH(L"CAcadDrawing::autoCADPlotToFile")
}

int CAcadDrawing::bricsCADPlotToFile(CString& layoutName, CString fullPath, int plotType, int applySettings,
                                     int plotCentred, int plotScaleType, int plotAreaType, int plotMediaId,
                                     int unrotated) {
    KELMO_TRY
        PlotLock documentLock;
        AcDbLayoutManager* layouts = acdbHostApplicationServices()->layoutManager();
        if (!layoutName.IsEmpty()) layouts->setCurrentLayout(layoutName);
        AcDbBlockTableRecord* record = nullptr;
        if (acdbOpenObject(record, layouts->getActiveLayoutBTRId(), AcDb::kForRead) == Acad::eOk) {
            AcDbObjectId layoutId = record->getLayoutId();
            record->close();
            AcDbLayout* layout = nullptr;
            if (acdbOpenObject(layout, layoutId, AcDb::kForWrite) == Acad::eOk) {
                layout->setPlotPlotStyles(true);
                layout->setPrintLineweights(true);
                layout->setScaleLineweights(true);
                if (layoutName.IsEmpty()) layoutName = layout->getLayoutName();
                layout->close();
            }
        }
        // The export asks for its file on the command line only while file dialogs are off; the
        // user's setting is given back however the export ends.
        FileDialogSetting fileDialogs;
        acedCommand(RTNONE);
        acedCommand(RTNONE);
        fileDialogs.set(0);
        acutPrintf(L"%s\n\n", static_cast<LPCWSTR>(fullPath));
        CFileUtilities files;
        files.deleteFile(fullPath);
        acedCommand(RTSTR, L"_EXPORT", RTSTR, static_cast<LPCWSTR>(fullPath), RTNONE);
        fileDialogs.restore();
        acedCommand(RTNONE);
        acedCommand(RTNONE);
        return plotDone;
    KELMO_CATCH(L"CAcadDrawing::bricsCADPlotToFile")
}
