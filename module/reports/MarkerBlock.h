#pragma once
// A graphic report's marker: a drawing block whose insert says where the legend or the pie chart goes
// and with which text size, precision and units.
#include <functional>

#include "model/BlockDWG.h"

class CMarkerBlock : public CBlockDWG {
public:
    CMarkerBlock();
    ~CMarkerBlock() override = default;

    // The marker's own settings, apart from the space record's units and precision.
    int getUnits() const { return m_units; }
    void setUnits(int units) { m_units = units; }
    int getPrecision() const { return m_precision; }
    void setPrecision(int precision) { m_precision = precision; }
    double getTextSize() const { return m_textSize; }
    void setTextSize(double textSize) { m_textSize = textSize; }
    // Radians, in the current UCS.
    double getRotation() const { return m_rotation; }
    void setRotation(double rotation) { m_rotation = rotation; }

protected:
    // Object id, layer, colour, line weight, definition name, handle and the rotation in the UCS of
    // an insert the caller holds open.
    void readMarkerReference(AcDbBlockReference* reference, AcApDocument* document);
    // The insertion point in the current UCS.
    static AcGePoint3d positionInUcs(AcDbBlockReference* reference, AcApDocument* document);
    // Whether the insert's definition holds a live entity of the class named, such as "AcDbCircle".
    static bool definitionHolds(AcDbBlockReference* reference, const CString& className);
    // Each attribute of the insert, as its upper-case tag and its text.
    static void eachAttribute(AcDbBlockReference* reference,
                              const std::function<void(const CString& tag, const CString& value)>& handle);

private:
    int m_units;
    int m_precision;
    double m_textSize;
    double m_rotation;
};
