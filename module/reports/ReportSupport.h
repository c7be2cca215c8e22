#pragma once
// What the legend table and the pie chart share: block names made from report and category titles,
// block definitions rebuilt in place, and hatches filling one closed outline.
#include <vector>

#include "cad/AcDb.h"
#include "classlib/Afx.h"

class CAcadDrawing;
class CCategory;
class CHatch;

namespace kelmo_reports {

// The text with every character a block name may not hold replaced by "_", cut to the longest name
// a block may have when it is longer (ending in a mark of the whole text).
CString blockName(const CString& text);

// A title as the command line shows it: cut after 250 characters, so that a title pasted from a
// whole document cannot flood it.
CString shownTitle(const CString& title);

// Says each thing the report file held for the category that could not be read, a line each after
// `indent`: "category Offices: ...".
void sayReadProblems(const CCategory& category, const wchar_t* indent);

// The definition of that name, emptied when the drawing has it (so that inserts and table cells
// that show it stay valid), else added; open for write. Null on failure, with the host's status.
AcDbBlockTableRecord* emptiedDefinition(AcDbDatabase* database, const CString& name, Acad::ErrorStatus& status);

// Appends the entity to the definition and closes it; its id. On failure the entity is deleted and
// the host's status thrown as an unhandled failure of the method of that source file, at that line, in
// that drawing.
AcDbObjectId appendOrThrow(AcDbBlockTableRecord* definition, AcDbEntity* entity, CAcadDrawing* drawing,
                           const wchar_t* sourceFile, const wchar_t* method, int line);

// Why a new chart cannot take the place of the old, or empty when every part of the old can go: an
// entity of a definition the new chart rebuilds (its own first) and, for a chart placed at the world
// point `at` (none when it is only defined), an old insert in model space of its definition or of a
// chart of its kind ("[KELMO_LEGEND]_", "[KELMO_PIECHART]_") at that point, lying on a locked layer.
// Drawn anyway, the new chart would lie over what of the old could not be erased.
CString oldChartKept(AcDbDatabase* database, const CString& kind, const std::vector<CString>& rebuilt,
                     const AcGePoint3d* at);

// The shortest text that reads back as the same double, so a value written and read again, or named in
// a message, is the value held; one that is no number, or infinite, as XML spells it ("NaN", "INF").
CString exactText(double value);

// The normal of the current UCS in world coordinates.
AcGeVector3d ucsNormal(AcDbDatabase* database);

// A hatch of the outline in the category's pattern, scale, angle, colour and layer; the caller
// evaluates and appends it. Null with a status when the host does not know the pattern
// (eUnknownPattern) or the outline cannot be a loop.
AcDbHatch* hatchOf(const CHatch* look, AcDbObjectId outlineId, const AcGeVector3d& normal, Acad::ErrorStatus& status);

} // namespace kelmo_reports
