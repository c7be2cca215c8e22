#include "reports/PieSegments.h"

#include "core/Catch.h"
#include "reports/PieSegment.h"

KELMO_SOURCE_FILE(L"PieSegments");

CPieSegments::CPieSegments() : m_count(0), m_totalArea(0.0) {}

CPieSegments::CPieSegments(CString name) : m_count(0), m_totalArea(0.0), m_name(name) {}

CPieSegments::~CPieSegments() {
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CPieSegments::~CPieSegments");
    }
}

BOOL CPieSegments::add(CPieSegment* segment) {
    KELMO_TRY
        if (!segment) return FALSE;
        for (int i = 0; i < m_count; ++i) {
            if (m_segments.GetAt(i)->getTitle() == segment->getTitle()) {
                delete segment;
                return FALSE;
            }
        }
        m_segments.Add(segment);
        m_totalArea += segment->getArea();
        ++m_count;
        return TRUE;
    KELMO_CATCH_ALSO(L"CPieSegments::add", kelmo::catchClassLib)
}

CPieSegment* CPieSegments::getAt(int index) {
    KELMO_TRY
        return m_segments.GetAt(index);
    KELMO_CATCH_ALSO(L"CPieSegments::getAt", kelmo::catchClassLib)
}

void CPieSegments::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < m_segments.GetSize(); ++i) delete m_segments.GetAt(i);
        m_segments.RemoveAll();
        m_count = 0;
        m_totalArea = 0.0;
    KELMO_CATCH(L"CPieSegments::deleteObjects")
}

void CPieSegments::addSegmentsToBlock(CAcadDrawing* drawing, AcDbBlockTableRecord* definition, int ignoreEmptySegments,
                                      int showLabels, int showLabelLines, AcGeVector3d normal, double radius,
                                      double totalArea, double xyOffset, double textSize, int precision) {
    KELMO_TRY
        double startArea = 0.0;
        for (int i = 0; i < m_count; ++i) {
            CPieSegment* segment = m_segments.GetAt(i);
            if (ignoreEmptySegments && segment->getArea() == 0.0) continue;
            segment->addSegmentToBlock(drawing, definition, ignoreEmptySegments, showLabels, showLabelLines, normal,
                                       radius, xyOffset, totalArea, startArea, textSize, precision);
            startArea += segment->getArea();
        }
    KELMO_CATCH(L"CPieSegments::addSegmentsToBlock")
}
