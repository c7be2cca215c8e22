#pragma once
// The owning list of a pie chart's wedges, with the sum of their areas.
#include "cad/AcDb.h"
#include "classlib/Afx.h"

class CAcadDrawing;
class CPieSegment;

class CPieSegments {
public:
    CPieSegments();
    explicit CPieSegments(CString name);
    ~CPieSegments();
    CPieSegments(const CPieSegments&) = delete;
    CPieSegments& operator=(const CPieSegments&) = delete;

    // TRUE when the list took the segment. A title held already is refused and the segment deleted:
    // of several categories with one title only the first is charted.
    BOOL add(CPieSegment* segment);
    int getCount() const { return m_count; }
    CPieSegment* getAt(int index);
    double getTotalArea() const { return m_totalArea; }
    void deleteObjects();

    void addSegmentsToBlock(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, int ignoreEmptySegments,
                            int showLabels, int showLabelLines, AcGeVector3d normal, double radius, double totalArea,
                            double xyOffset, double textSize, int precision);

private:
    CTypedPtrArray<CPtrArray, CPieSegment*> m_segments;
    int m_count;
    double m_totalArea;
    CString m_name;
};
