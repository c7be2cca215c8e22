#pragma once
// The length one drawing unit stands for, which every area and perimeter is measured in. A drawing
// whose insertion units state a length other than millimetres or inches is measured in that length;
// otherwise the linear-units setting decides (engineering and architectural inches, any other
// millimetres), as it always has: drawings started from a template of the other unit are common.
#include "cad/AcDb.h"

class CDrawingUnit {
public:
    // The linear-units rule alone, as for a drawing that states no unit; not explicit, so that a
    // linear-units setting passes wherever a unit is asked for.
    CDrawingUnit(Adesk::Int16 lunits);
    // The drawing's own unit. When the drawing states millimetres or inches and its linear units pick
    // the other, the command line says once per command which one it is measured in, and why.
    explicit CDrawingUnit(const AcDbDatabase* database);

    // What a length or an area in drawing units is divided by for metres or feet (units 0 metric,
    // any other imperial).
    double lengthDivisor(int units) const;
    double areaDivisor(int units) const;
    // How far, in drawing units, a chord may stray from the arc it follows when a boundary is checked
    // for crossing itself: a hundredth of the unit for millimetres and inches, a hundredth of a
    // millimetre for a stated unit, so that a metre drawing is checked as finely as a millimetre one.
    double chordStray() const;

    // A new command begins: the choice between the stated unit and the linear units is said again.
    static void newCommand();

private:
    bool m_inches = false;
    // Metres in one drawing unit for a stated unit; 0 when the linear-units rule decides.
    double m_metres = 0.0;
};
