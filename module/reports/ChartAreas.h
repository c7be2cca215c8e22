#pragma once
// The areas the legend table and the pie chart show, in the units their label names: each space's
// area is held in its own units, so it is converted where those differ.
#include "classlib/Afx.h"

class CCategory;
class CGraphicReport;

namespace kelmo_reports {

// The units an area label names: 1 for "sq.ft.", 0 for "sq.m.", -1 for any other text (a label typed
// by someone names no units; the areas are then shown as held).
int unitsNamed(const CString& label);

// The areas of the category's spaces summed, each in the units given; 0.0 without spaces.
double categoryArea(CCategory* category, int units);

// The report's total area in the units given. It totals the report's spaces, so it is held in their
// units when they hold one kind; when they hold both, or none is known, it is taken as held.
double totalArea(CGraphicReport* report, int units);

} // namespace kelmo_reports
