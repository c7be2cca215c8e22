#pragma once
// One wedge of a pie chart: a category's title, hatch (borrowed from the category) and area.
#include "cad/AcDb.h"
#include "classlib/Afx.h"

class CAcadDrawing;
class CHatch;
class CKelmoExceptions;

class CPieSegment {
public:
    CPieSegment(CString title, CHatch* hatch, double area, int precision, CString unitsLabel);
    ~CPieSegment() = default;
    CPieSegment(const CPieSegment&) = delete;
    CPieSegment& operator=(const CPieSegment&) = delete;

    CString getTitle() const { return m_title; }
    void setTitle(CString title) { m_title = title; }
    CHatch* getHatch() const { return m_hatch; }
    void setHatch(CHatch* hatch) { m_hatch = hatch; }
    double getArea() const { return m_area; }
    void setArea(double area) { m_area = area; }
    int getPrecision() const { return m_precision; }
    void setPrecision(int precision) { m_precision = precision; }
    CString getUnitsLabel() const { return m_unitsLabel; }
    void setUnitsLabel(CString unitsLabel) { m_unitsLabel = unitsLabel; }

    // The wedge clockwise from 12 o'clock after startArea, its hatch, and its label and line.
    void addSegmentToBlock(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, int ignoreEmptySegments,
                           int showLabels, int showLabelLines, AcGeVector3d normal, double radius, double xyOffset,
                           double totalArea, double startArea, double textSize, int precision);
    // A closed wedge from the centre, starting at 12 o'clock and running clockwise; not in the database.
    AcDbPolyline* createSegment(AcGeVector3d normal, double radius, double sweep);
    void hatchSegment(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcDbObjectId wedgeId,
                      CKelmoExceptions* warnings);
    void addSegmentLine(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d normal, double midAngle,
                        double labelRadius, double xyOffset);
    void addSegmentLabel(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, AcGeVector3d normal, double midAngle,
                         double radius, double labelRadius, double xyOffset, double textSize, int precision);

private:
    CString m_title;
    CHatch* m_hatch;
    double m_area;
    int m_precision;
    CString m_unitsLabel;
};
