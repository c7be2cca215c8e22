#pragma once
// A graphic report: the recipe that colours a drawing by category. It names its drawing, the layers
// to switch on, the categories with their hatches, the layout and plot settings, and the pie chart's
// options, and is read from and written to a "graphicReport" XML file.
#include "classlib/Afx.h"

class CAcadDrawing;
class CAcadDrawingState;
class CBlocks;
class CCategories;
class CCategory;
class CGraphicReports;
class CEXKelmo;
class CLayers;
class CLinkLines;
class CServerPreferenceOstrel;
class CStoredProcedure;
namespace kelmo_model {
class RegisterRows;
}

class CGraphicReport {
public:
    CGraphicReport();
    ~CGraphicReport();
    CGraphicReport(const CGraphicReport&) = delete;
    CGraphicReport& operator=(const CGraphicReport&) = delete;

    int getID() const { return m_id; }
    void setID(int id) { m_id = id; }
    CString getTitle() const { return m_title; }
    void setTitle(CString title) { m_title = title; }
    CString getDrawingPath() const { return m_drawingPath; }
    // The three folder setters clean the path and end it with a backslash.
    void setDrawingPath(CString path);
    CString getDrawingFilename() const { return m_drawingFilename; }
    void setDrawingFilename(CString filename) { m_drawingFilename = filename; }
    CString getOutputPath() const { return m_outputPath; }
    void setOutputPath(CString path);
    CString getOutputFilename() const { return m_outputFilename; }
    void setOutputFilename(CString filename) { m_outputFilename = filename; }
    int getPlotTypeID() const { return m_plotTypeID; }
    void setPlotTypeID(int id) { m_plotTypeID = id; }
    int getPlotOptionID() const { return m_plotOptionID; }
    void setPlotOptionID(int id) { m_plotOptionID = id; }
    int getPlotCentred() const { return m_plotCentred; }
    void setPlotCentred(int centred) { m_plotCentred = centred; }
    int getPlotAreaTypeID() const { return m_plotAreaTypeID; }
    void setPlotAreaTypeID(int id) { m_plotAreaTypeID = id; }
    // The host's scale value (stored ids above 18 stand one higher).
    int getPlotScaleTypeID() const { return m_plotScaleTypeID; }
    void setPlotScaleTypeID(int id) { m_plotScaleTypeID = id; }
    int getPlotMediaSizeID() const { return m_plotMediaSizeID; }
    void setPlotMediaSizeID(int id) { m_plotMediaSizeID = id; }
    CString getPlotLayout() const { return m_plotLayout; }
    void setPlotLayout(CString layout) { m_plotLayout = layout; }
    CString getSaveCopyTo() const { return m_saveCopyTo; }
    void setSaveCopyTo(CString path) { m_saveCopyTo = path; }
    CString getXMLOutputTo() const { return m_XMLOutputTo; }
    void setXMLOutputTo(CString path);
    double getTotalChildAreas() const { return m_totalChildAreas; }
    void setTotalChildAreas(double area) { m_totalChildAreas = area; }
    double getPieXYOffset() const { return m_pieXYOffset; }
    void setPieXYOffset(double offset) { m_pieXYOffset = offset; }
    int getPieIgnoreEmptySegments() const { return m_pieIgnoreEmptySegments; }
    void setPieIgnoreEmptySegments(int ignore) { m_pieIgnoreEmptySegments = ignore; }
    int getPieShowLabels() const { return m_pieShowLabels; }
    void setPieShowLabels(int show) { m_pieShowLabels = show; }
    int getPieShowLabelSegmentLines() const { return m_pieShowLabelSegmentLines; }
    void setPieShowLabelSegmentLines(int show) { m_pieShowLabelSegmentLines = show; }

    // The owned lists; null when the report has none. The setters take the new list and leave the
    // one they replace to the caller.
    CCategories* getCategories() const { return m_categories; }
    void setCategories(CCategories* categories) { m_categories = categories; }
    CLayers* getLayersOn() const { return m_layersOn; }
    void setLayersOn(CLayers* layers) { m_layersOn = layers; }
    CLinkLines* getLinkLines() const { return m_linkLines; }
    void setLinkLines(CLinkLines* linkLines) { m_linkLines = linkLines; }

    // Reads a report file. A missing, empty or malformed file, or one whose root is no
    // "graphicReport", raises a module exception and leaves the record as it was.
    void deSerialize(CString xmlPath);
    void serialize(CString xmlPath);
    // What the file held that the record could not take, one line each ("grTotalChildAreas "1,5" is
    // not a number - not read"); the commands say them.
    const CStringArray& getReadProblems() const { return m_readProblems; }

    // Colours the open drawing by the report: the report's layers on, link lines, every category's
    // assets and spaces hatched and formatted, and the legend and pie chart filled at the first
    // markers. A failure part-way still leaves the layers as they were meant to end and the lock
    // given back.
    void applyToDrawing(CAcadDrawing* drawing);

    // The batch side: the report loaded from the register by its identifier, and prepared (claimed,
    // applied to its drawing, plotted, copied, written as XML) with its status recorded there.
    void getGraphicReport(CStoredProcedure* procedure, CServerPreferenceOstrel* serverPreferences, int id, int timeout);
    // The record's fields from the register row ("__gr_getGraphicReport"'s columns); without an output
    // folder of its own the report takes the server's.
    void readRecord(kelmo_model::RegisterRows& rows, CServerPreferenceOstrel* serverPreferences);
    // The files preparing the report would write: its plot, the copy of its drawing and its XML, each
    // empty when the report names none with a drive or a network path.
    void getTargets(CString& plot, CString& copy, CString& xml) const;
    // Whether a report at that status has been prepared, well or not: no status the register gives a
    // report waiting to be prepared is one of those a preparation ends with.
    static bool preparationEnded(int status);
    // This batch run's name, apart from any other run on any machine: the machine, the process and
    // when it started.
    static CString batchRun();
    void prepareReport(CStoredProcedure* procedure, int timeout);
    // As one report of the run: nothing the run wrote or prepares is written over.
    void prepareReport(CStoredProcedure* procedure, int timeout, CGraphicReports* run);
    void setGraphicReportStatus(CStoredProcedure* procedure, int timeout, int status);
    // Sets the final status and says it on the command line: "Graphic report 7: status 3", followed by
    // " - " and why when given. A status the register refuses is tried again; when it stays refused the
    // command line says so with the reason, the report remembers it, and the refusal is raised.
    void recordStatus(CStoredProcedure* procedure, int timeout, int status, const CString& why = CString());
    // The final status the register refused to record; 0 when none was.
    int getUnrecordedStatus() const { return m_unrecordedStatus; }
    void setGraphicReportLayout(CStoredProcedure* procedure, int timeout, CString layout);
    // Records the layout the plot took, as a status is recorded: one the register refuses is tried
    // again; when it stays refused the command line and the error log say so with the reason, the
    // report remembers it, and the preparation goes on.
    void recordLayout(CStoredProcedure* procedure, int timeout, const CString& layout);
    bool layoutUnrecorded() const { return m_layoutUnrecorded; }
    // Sets "preparation started" unless another live run holds the report or it has left the status it
    // was listed under; true when this run has it, and when this run claimed it before (the answer was
    // lost with the session that made the claim). A report listed at 2 whose claiming run is gone is
    // taken over, and the command line says so.
    bool claimGraphicReport(CStoredProcedure* procedure, int timeout);
    // Whether the session the procedure runs on holds the report's claim; asks and writes nothing.
    bool claimHeld(CStoredProcedure* procedure, int timeout);
    // The claim as a batch run makes it: one the register refuses is tried again, as a final status is;
    // when it stays refused the command line says so with the reason, the report remembers it, and the
    // refusal is raised.
    bool claimForRun(CStoredProcedure* procedure, int timeout);
    // Whether the register refused the report's claim: the report keeps its status, unprepared.
    bool claimRefused() const { return m_claimRefused; }
    // A refusal of the report's claim, status or layout that trying again does not cure (a right the
    // batch's role lacks, a procedure the register lacks, a register that takes no changes), as "NAME:
    // REASON"; empty when there was none. It would refuse every report after this one alike.
    const CString& lastingRefusal() const { return m_lastingRefusal; }
    // The status the report was listed under; -1 when it was loaded on its own.
    int getListedStatus() const { return m_listedStatus; }
    void setListedStatus(int status) { m_listedStatus = status; }

private:
    // Remembers the procedure's last refusal when it is one that lasts.
    void noteRefusal(CStoredProcedure* procedure, const CEXKelmo* refused);
    void applyCategory(CAcadDrawing* drawing, CCategory* category, CAcadDrawingState* state);
    void applyCategoryBlocks(CAcadDrawing* drawing, CCategory* category, CAcadDrawingState* state);
    void fillMarkers(CAcadDrawing* drawing, CAcadDrawingState* state);
    void readNumber(const CString& element, const CString& text, double& value);

    int m_id;
    CString m_title;
    CString m_drawingPath;
    CString m_drawingFilename;
    CString m_outputPath;
    CString m_outputFilename;
    int m_plotTypeID;
    int m_plotOptionID;
    int m_plotCentred;
    int m_plotAreaTypeID;
    int m_plotScaleTypeID;
    int m_plotMediaSizeID;
    CString m_plotLayout;
    CString m_saveCopyTo;
    CString m_XMLOutputTo;
    double m_totalChildAreas;
    CCategories* m_categories;
    CLayers* m_layersOn;
    CLinkLines* m_linkLines;
    double m_pieXYOffset;
    int m_pieIgnoreEmptySegments;
    int m_pieShowLabels;
    int m_pieShowLabelSegmentLines;
    int m_listedStatus = -1;
    int m_unrecordedStatus = 0;
    bool m_claimRefused = false;
    bool m_layoutUnrecorded = false;
    CString m_lastingRefusal;
    CString m_plotSettingsUnknown; // plot settings the register holds that the host has none for
    bool m_plotTypeUnknown = false;
    CStringArray m_readProblems;
};
