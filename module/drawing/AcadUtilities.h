#pragma once
// The helper toolbox over the host editor and drawing: typed prompts and picks, areas and perimeters
// in metres or feet, the plot tables, block extents, draw order, handles and plot file names.
// Stateless: made on the stack where needed.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "drawing/DrawingUnit.h"

class AcApDocument;
class CBlockDWG;

class CAcadUtilities {
public:
    CAcadUtilities() = default;
    virtual ~CAcadUtilities() = default;

    // Prompts. A cancel or the end of input ends every prompt.
    void getInteger(CString prompt, int defaultValue, int& value);
    // TRUE when the user answered (Enter included), FALSE when the prompt was cancelled; the
    // default is kept then.
    BOOL getString(CString prompt, CString defaultValue, CString& value);
    void getDouble(CString prompt, double defaultValue, int decimals, double& value);
    void getBoolean(CString prompt, BOOL defaultValue, BOOL& value);
    // As above, but a number outside low..high (above low, not at it, when lowExcluded) is refused
    // with the host's "Requires ..." line and asked for again, as is Enter on a default outside them.
    // FALSE when the prompt was cancelled while the default lies outside them (value holds the
    // default then); a cancel on a default inside them keeps the default.
    BOOL getInteger(CString prompt, int defaultValue, int low, int high, int& value);
    BOOL getDouble(CString prompt, double defaultValue, int decimals, double low, double high, BOOL lowExcluded,
                   double& value);
    // The text typed; empty, with cancelled set when it is given, when the prompt was cancelled.
    CString getString(CString prompt, BOOL* cancelled = nullptr);

    // Selection.
    int selectObjectIds(AcDbObjectIdArray& ids, CString prompt);
    int selectObjectId(AcDbObjectId& id, CString prompt);
    int selectObjectId(AcDbObjectId& id, CString prompt, CString className);
    int selectSpace(AcDbHandle& handle);
    // Blocks are made in model space, so an entity turned into one must lie there: FALSE, with the
    // reason on the command line, for one on a paper layout (a pick by handle reaches those), which
    // the block would take off its sheet. `what` names the entity ("Polyline", "Circle").
    BOOL liesInModelSpace(AcDbObjectId id, const wchar_t* what);
    // The name of the layout a space's block record draws ("Model" for model space); empty for a
    // record that draws no layout.
    static CString layoutNameOf(AcDbObjectId space);
    int userSelectKelmoBlock(AcApDocument* document, CBlockDWG* block);

    // Areas, perimeters, coordinates.
    double getPolyPerimeter(const AcDbCurve* curve);
    // In metres or feet from the drawing's unit: a drawing's own (CDrawingUnit(database)) or the one
    // its linear-units setting alone gives.
    double calculatePolylinePerimeter(const AcDbPolyline* polyline, const CDrawingUnit& unit, int units);
    double calculatePolylineArea(const AcDbPolyline* polyline, const CDrawingUnit& unit, int units);
    double recalculateBlockArea(const AcDbBlockReference* reference, const AcDbPolyline* polyline,
                                const CDrawingUnit& unit, int units);
    double recalculateBlockPerimeter(const AcDbBlockReference* reference, const AcDbPolyline* polyline,
                                     const CDrawingUnit& unit, int units);
    // TRUE when the closed outline of the polyline crosses or touches itself, so that its lobes'
    // areas offset each other; a boundary whose points all lie on one line is not taken as crossing.
    // Arcs are followed as finely as the drawing's unit asks (CDrawingUnit::chordStray).
    BOOL crossesItself(const AcDbPolyline* polyline, const CDrawingUnit& unit = CDrawingUnit(2));
    // TRUE when the polyline lies in the plan (seen from above or below): one tilted out of it covers
    // less of the plan than it measures in its own plane.
    static BOOL liesFlat(const AcDbPolyline* polyline);
    // The entity, open for read, as a lightweight polyline: the entity itself when it is one; for a 2D
    // polyline (every boundary of an R12 drawing) its lightweight form, made in form; else nullptr.
    static const AcDbPolyline* asLightweight(AcDbEntity* entity, AcDbPolyline& form);
    AcGePoint3d convertUCSToWCS(AcGePoint3d point);
    AcGePoint3d convertWCSToUCS(AcGePoint3d point);
    AcGePoint3d getPolylineTopLeft(const AcDbPolyline* polyline, const AcGeMatrix3d* matrix = nullptr);

    // Plot tables: stored ids to the host's values and back. A stored id is a plain int; the
    // host's plot type and media id have types of their own.
    enum PlotDevice { plotDWF = 0, plotPDF = 1, plotJPG = 2, plotPNG = 3 };
    enum MediaSize : int { mediaISO_A1_Landscape = 0 };
    CString plotExtension(int plotType);
    CString convertPlotDevice(PlotDevice plotType);
    PlotDevice convertPlotDevice(int storedId);
    int convertToPlotDeviceID(PlotDevice plotType);
    CString convertMediaSize(MediaSize mediaId);
    MediaSize convertMediaSize(int storedId);
    int convertToMediaSizeID(MediaSize mediaId);
    int convertScale(int storedId);
    int convertToScaleTypeID(int scaleType);
    int convertPlotArea(int storedId);
    int convertToAreaTypeID(int areaType);

    // Drawing utilities.
    // TRUE with the extents of the block's first polyline (lightweight or 2D), widened by the margin
    // and in world coordinates; FALSE (points untouched) when the entity is no block reference or its
    // definition holds no polyline.
    BOOL getBlockExtents(const AcDbEntity* entity, AcGePoint3d& minimum, AcGePoint3d& maximum, double margin);
    CString extractData(int keyCode, CString text);
    void moveToBottom(AcDbEntity* entity);
    // The draw-order table of the entity's owner, made when the owner has none; open for write, for the
    // caller to close. Null when it cannot be had.
    AcDbSortentsTable* getSortentsTable(const AcDbEntity* entity);
    void checkBackgroundColour(AcCmColor& colour);
    AcDbObjectId convertHandleToObjectId(CString handle);
    void convertHandlesStringToArray(CString handles, CArray<AcDbHandle, AcDbHandle>& array);
    void checkPlotFileExtension(CString& fileName, int plotType);

    // Key codes of extractData.
    enum {
        keyName = 0x11,
        keyAreaMetric = 0x100,
        keyAreaImperial = 0x101,
        keyPerimeterMetric = 0x110,
        keyPerimeterImperial = 0x111,
        keyTagType = 0x1000,
        keyAreaType = 0x1001,
        keyCostCentre = 0x1010,
        keyDate = 0x1011,
        keyDateLastMove = 0x1100,
        keyDeptCharge = 0x1101,
        keyRoomHeight = 0x1110,
        keySpecialReq = 0x1111,
        keyTotalStaff = 0x10000,
        keyTotalWorkstations = 0x10001,
        keyVolume = 0x10010,
        keyHandlesToMinus = 0x10011,
        keyHandlesToAdd = 0x10100,
    };

    static constexpr int mediaCount = 89;
    // The host's answer buffer for text input.
    static constexpr int answerBufferSize = 133;
};
