#pragma once
// The drawing being worked on: the host document, its file, whether the module opened it, and a
// counted write lock on the document. Every change the module makes to a drawing goes through this
// lock; entities reach model space through postToDrawing; saving copies and plotting write files.
#include <functional>

#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "core/TempFiles.h"

class AcApDocument;

class CAcadDrawing {
public:
    // Results of plot besides the host's own: the file was written, the output folder is missing,
    // nothing was written (the drawing is not open, or the host produced no file).
    enum { plotDone = 3, plotNoFolder = 8, plotFailed = 9 };

    CAcadDrawing();
    // Opens the drawing file as a new document; the object closes it again, unsaved.
    CAcadDrawing(CString path, CString filename);
    virtual ~CAcadDrawing();
    CAcadDrawing(const CAcadDrawing&) = delete;
    CAcadDrawing& operator=(const CAcadDrawing&) = delete;

    AcApDocument* getDocument() const { return m_document; }
    void setDocument(AcApDocument* document) { m_document = document; }
    CString getDrawingPath() const { return m_drawingPath; }
    void setDrawingPath(CString path) { m_drawingPath = path; }
    CString getDrawingFilename() const { return m_drawingFilename; }
    void setDrawingFilename(CString filename) { m_drawingFilename = filename; }
    void setDrawingFullPath(CString fullPath);
    int getDrawingOpen() const { return m_drawingOpen; }
    void setDrawingOpen(int open) { m_drawingOpen = open; }
    int getLocked() const { return m_locked; }
    int getLockCount() const { return m_lockCount; }
    void setLeaveOpen(int leaveOpen) { m_leaveOpen = leaveOpen; }
    void setSaveOnClose(int saveOnClose) { m_saveOnClose = saveOnClose; }
    // 0 for a drawing that was open in the host already when this object was made on it.
    int getOpenedHere() const { return m_openedHere; }

    // The document's drawing database, or null without a document.
    AcDbDatabase* getDatabase() const;

    Acad::ErrorStatus lock();
    Acad::ErrorStatus unlock(int force);

    // Appends the entity to model space, or to the layout's block `space` when one is given. The
    // drawing takes the entity in every case: appended, it belongs to the database (closed); on any
    // failure it has been deleted and id is null.
    Acad::ErrorStatus postToDrawing(AcDbObjectId& id, AcDbEntity* entity, AcDbObjectId space = AcDbObjectId());

    void zoomExtents();
    void zoomPrevious();
    void zoomWindow(AcGePoint3d corner1, AcGePoint3d corner2);
    int regenDrawing();
    void openDrawing();
    int closeDrawing();

    // Saving and plotting. A copy or a plot is written whole beside its target under a temporary name
    // and renamed over it only then, so a failed one leaves the earlier file; `beforePlacing`, when given,
    // runs just before the rename and keeps the earlier file by throwing.
    using BeforePlacing = std::function<void()>;
    CString saveAsTemp();
    int saveAs(CString path, CString filename, const BeforePlacing& beforePlacing = nullptr);
    int plot(CString& layoutName, CString folder, CString fileName, int plotType, int applySettings, int plotCentred,
             int plotScaleType, int plotAreaType, int plotMediaId, int unrotated,
             const BeforePlacing& beforePlacing = nullptr);
    int plotToFile(CString& layoutName, CString fullPath, int plotType, int applySettings, int plotCentred,
                   int plotScaleType, int plotAreaType, int plotMediaId, int unrotated);
    int autoCADPlotToFile(CString& layoutName, CString fullPath, int plotType, int applySettings, int plotCentred,
                          int plotScaleType, int plotAreaType, int plotMediaId, int unrotated);
    int bricsCADPlotToFile(CString& layoutName, CString fullPath, int plotType, int applySettings, int plotCentred,
                           int plotScaleType, int plotAreaType, int plotMediaId, int unrotated);
    void applyPlotSettings(CString layoutName, int plotType, int applySettings, int plotAreaType, int plotScaleType,
                           int plotCentred, int plotMediaId, int unrotated);
    static CString windowsErrorText(DWORD code);
    // Why the last plot wrote no file ("the plot cannot be drawn: out of memory"); empty after a plot
    // that wrote its file.
    CString getPlotFailure() const { return m_plotFailure; }

    // The folder temporary copies go to, ending in a backslash.
    static CString getTempFolder();
    // The name a saved copy of a drawing file takes: ".dwg" swapped for ".krp".
    static CString savedCopyName(CString filename);

private:
    void initialise();
    int failedPlot(const CString& why);

    CString m_plotFailure;

    CString m_drawingPath;
    CString m_drawingFilename;
    AcApDocument* m_document;
    int m_drawingOpen;
    int m_locked;
    int m_lockCount;
    CTempFiles m_tempFiles;
    int m_leaveOpen;
    int m_saveOnClose;
    int m_openedHere; // 1 once openDrawing has opened the document
};
