#pragma once
// The steps of the graphic-report commands that other steps call: the marker creation after the
// pick, and the legend and pie-chart definitions from typed answers.
#include "cad/AcDb.h"

class CAcadDrawing;
class CGraphicReport;

void createLegendMarkerBlock(CAcadDrawing* drawing, AcDbObjectId polylineId);
void createPieMarkerBlock(CAcadDrawing* drawing, AcDbObjectId circleId);
// Asks for the look of the legend and the pie chart, then defines the blocks asked for (flags
// non-zero). Shows its own failures and always returns.
void defineLegacyLegendAndPie(CAcadDrawing* drawing, CGraphicReport* report, int legend, int pie);
