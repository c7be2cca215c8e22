#include "drawing/DrawingUnit.h"

#include "cad/editor/EdPrintf.h"

namespace {

constexpr double metresPerFoot = 0.3048;

// Metres in one unit of each insertion-units value; 0 where the value states no length, or millimetres
// or inches, which the linear units decide between.
constexpr double kStatedMetres[] = {
    0.0,                   // unitless
    0.0,                   // inches
    metresPerFoot,         // feet
    1609.344,              // miles
    0.0,                   // millimetres
    0.01,                  // centimetres
    1.0,                   // metres
    1000.0,                // kilometres
    2.54e-8,               // microinches
    2.54e-5,               // mils
    0.9144,                // yards
    1e-10,                 // angstroms
    1e-9,                  // nanometres
    1e-6,                  // microns
    0.1,                   // decimetres
    10.0,                  // decametres
    100.0,                 // hectometres
    1e9,                   // gigametres
    149597870700.0,        // astronomical units
    9460730472580800.0,    // light years
    3.0856775814913673e16, // parsecs
    1200.0 / 3937.0,       // US survey feet
    100.0 / 3937.0,        // US survey inches
    3600.0 / 3937.0,       // US survey yards
    6336000.0 / 3937.0,    // US survey miles
};

double statedMetres(int insunits) {
    constexpr int count = static_cast<int>(sizeof kStatedMetres / sizeof kStatedMetres[0]);
    return insunits >= 0 && insunits < count ? kStatedMetres[insunits] : 0.0;
}

bool inchesByRule(Adesk::Int16 lunits) {
    return lunits == 3 || lunits == 4;
}

const wchar_t* linearUnitsName(Adesk::Int16 lunits) {
    switch (lunits) {
        case 1:
            return L"scientific";
        case 3:
            return L"engineering";
        case 4:
            return L"architectural";
        case 5:
            return L"fractional";
        default:
            return L"decimal";
    }
}

// Said once in a command, however many spaces it measures.
bool g_choiceSaid = false;

} // namespace

CDrawingUnit::CDrawingUnit(Adesk::Int16 lunits) : m_inches(inchesByRule(lunits)) {}

CDrawingUnit::CDrawingUnit(const AcDbDatabase* database) {
    if (!database) return;
    const Adesk::Int16 lunits = database->lunits();
    m_inches = inchesByRule(lunits);
    const int insunits = static_cast<int>(database->insunits());
    m_metres = statedMetres(insunits);
    if (m_metres != 0.0 || g_choiceSaid) return;
    const bool statesInches = insunits == AcDb::kUnitsInches;
    if ((statesInches || insunits == AcDb::kUnitsMillimeters) && statesInches != m_inches) {
        g_choiceSaid = true;
        acutPrintf(
            L"\tThe drawing is measured in %s, as its linear units (%s) give, although its insertion units "
            L"are %s\n",
            m_inches ? L"inches" : L"millimetres", linearUnitsName(lunits), statesInches ? L"inches" : L"millimetres");
    }
}

double CDrawingUnit::lengthDivisor(int units) const {
    if (m_metres != 0.0) return units == 0 ? 1.0 / m_metres : metresPerFoot / m_metres;
    if (units == 0) return m_inches ? 39.37007874015748 : 1000.0;
    return m_inches ? 12.0 : 304.8;
}

double CDrawingUnit::areaDivisor(int units) const {
    if (m_metres != 0.0) {
        const double length = lengthDivisor(units);
        return length * length;
    }
    if (units == 0) return m_inches ? 1550.0031000062 : 1000000.0;
    return m_inches ? 144.0 : 92903.04;
}

double CDrawingUnit::chordStray() const {
    return m_metres != 0.0 ? 1e-5 / m_metres : 0.01;
}

void CDrawingUnit::newCommand() {
    g_choiceSaid = false;
}
