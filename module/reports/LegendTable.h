#pragma once
// The legend of a graphic report: a table block with the report title, a header row, and one row per
// category giving its title, a hatched swatch and its total area; inserted at a legend marker on a
// full host, otherwise only defined. The work is done by the constructor.
#include <vector>

#include "cad/AcDb.h"
#include "classlib/Afx.h"

class CAcadDrawing;
class CCategory;
class CGraphicReport;

class CLegendTable {
public:
    CLegendTable();
    // The caller holds the drawing's lock for the whole construction.
    CLegendTable(CAcadDrawing* drawing, double textSize, int precision, CString unitsLabel, int ignoreEmpty,
                 CGraphicReport* report, double rotation, AcGePoint3d* position);
    ~CLegendTable() = default;
    CLegendTable(const CLegendTable&) = delete;
    CLegendTable& operator=(const CLegendTable&) = delete;

    AcDbObjectId insertLegendBlock(AcDbObjectId* blockId, CAcadDrawing* drawing, CString name, int ignoreEmpty,
                                   CGraphicReport* report, AcGePoint3d* position);
    AcDbObjectId createLegendBlockDefinition(AcDbObjectId* blockId, CAcadDrawing* drawing, CString name,
                                             int ignoreEmpty, CGraphicReport* report);
    AcDbTable* createLegendTableEntity(CGraphicReport* report, CAcadDrawing* drawing, AcGeVector3d normal,
                                       int ignoreEmpty);
    AcDbObjectId createHatchPattern(AcDbObjectId* blockId, CAcadDrawing* drawing, AcGeVector3d normal,
                                    CString reportTitle, CCategory* category);
    void calculateCategoryArea(CCategory* category, double* area);

    // The definitions a legend of the report builds again: its own, then each one a category's
    // swatch may take.
    static std::vector<CString> definitionNames(CGraphicReport* report);

private:
    double m_textSize;
    double m_rotation;
    int m_precision;
    CString m_unitsLabel;
    // The swatch names given in this legend, so that titles cleaned alike get their own blocks.
    std::vector<CString> m_swatchNames;
};
