#pragma once
// The pie chart of a graphic report: one hatched wedge per category, clockwise from 12 o'clock and
// sized by the category's share of the report's total area, with labels, the title above and the
// total below; inserted at a pie-chart marker on a full host, otherwise only defined. The work is
// done by the constructor.
#include "cad/AcDb.h"
#include "classlib/Afx.h"

class CAcadDrawing;
class CGraphicReport;
class CPieSegments;

class CPieChart {
public:
    // The caller holds the drawing's lock for the insertion; the definition takes it once more.
    CPieChart(CAcadDrawing* drawing, CGraphicReport* report, double radius, double xyOffset, double textSize,
              int precision, CString unitsLabel, int ignoreEmptySegments, int showLabels, int showLabelLines,
              double rotation, AcGePoint3d* centre);
    CPieChart(CString title, double totalArea, double radius, double xyOffset, double textSize, int precision,
              CString unitsLabel, int ignoreEmptySegments, int showLabels, int showLabelLines, double rotation);
    ~CPieChart();
    CPieChart(const CPieChart&) = delete;
    CPieChart& operator=(const CPieChart&) = delete;

    void initialise(CString title, double totalArea, double radius, double xyOffset, double textSize, int precision,
                    CString unitsLabel, int ignoreEmptySegments, int showLabels, int showLabelLines, double rotation);
    void pieChartFromGraphicReport(CGraphicReport* report);
    // The definition's id; null when there was nothing to chart.
    AcDbObjectId createPieChartBlockDefinition(CAcadDrawing* drawing);
    AcDbObjectId insertPieChartBlock(CAcadDrawing* drawing, AcGePoint3d* centre);
    void addTitleToPieChart(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d normal,
                            double textSize, double radius);
    void addFooterToPieChart(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d normal,
                             double textSize, double radius);

    // Whether the constructor built a definition: a report without categories, total or wedges builds none.
    bool isBuilt() const { return !m_definitionId.isNull(); }
    CPieSegments* getSegments() const { return m_segments; }
    CString getBlockName() const { return m_blockName; }
    // The name of the definition a pie chart of that title builds.
    static CString definitionName(const CString& title);

private:
    CPieSegments* m_segments;
    CString m_blockName;
    CString m_title;
    double m_totalArea;
    double m_textSize;
    double m_radius;
    double m_xyOffset;
    double m_rotation;
    int m_precision;
    CString m_unitsLabel;
    int m_ignoreEmptySegments;
    int m_showLabels;
    int m_showLabelLines;
    AcDbObjectId m_definitionId;
};
