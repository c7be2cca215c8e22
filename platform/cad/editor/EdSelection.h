#pragma once
// The editor's picks, points and selection sets, and coordinate transforms.
#include "cad/db/AcDbCore.h"
#include "cad/db/AcGe.h"
#include "cad/db/AcResbuf.h"
#include "cad/editor/EdCodes.h"

class AcDbDatabase;

// Selection sets: no mode (handles typed as one input line), "X" (whole drawing), "C" and "W"
// (rectangle by two corners), "CP" and "WP" (polygon as a list of points); points in the
// current UCS. Filters on groups 0, 2 and 8 with wildcards. RTERROR when nothing is selected; RTREJ
// when the drawing's inserts are more than a selection takes (the command line says why).
int acedSSGet(const ACHAR* mode, const void* pt1, const void* pt2, const resbuf* filter, ads_name ss);
int acedSSLength(const ads_name ss, Adesk::Int32* len);
int acedSSName(const ads_name ss, Adesk::Int32 i, ads_name entity);
int acedSSFree(const ads_name ss);
int acedSSAdd(const ads_name entity, const ads_name ss, ads_name result);

// A pick: "#HANDLE", or a point ("x,y[,z]", current UCS) that picks the topmost entity there.
int acedEntSel(const ACHAR* prompt, ads_name entity, ads_point point);
// A point "x,y[,z]" in the current UCS, or "@dx,dy[,dz]" from the base point.
int acedGetPoint(const ads_point base, const ACHAR* prompt, ads_point result);
// Coordinate systems: RTSHORT 0 world, 1 current UCS, 2 display (the plan view of the UCS).
int acedTrans(const ads_point pt, const resbuf* from, const resbuf* to, int disp, ads_point result);

namespace ed {
// Number of selection sets not yet freed (tests check for leaks).
int openSelectionSets();
// The current UCS of a drawing as the transform from UCS to world coordinates.
AcGeMatrix3d ucsToWorld(AcDbDatabase* db);
// Forget the spatial index of a drawing (it is rebuilt at the next polygon selection).
void invalidateSelectionIndex(AcDbDatabase* db = nullptr);
} // namespace ed
