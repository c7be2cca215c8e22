#pragma once
// Tables: rows and columns of cells holding text or a block, with merges, sizes and alignment.
#include "cad/db/AcDbEntity.h"

struct AcDbTableCell {
    AcDb::CellType type = AcDb::kTextCell;
    std::wstring text;
    AcDbObjectId block;
    bool autoFit = false;
    double textHeight = 0;                                  // 0: the row type's height
    AcDb::CellAlignment alignment = AcDb::CellAlignment(0); // 0: the row type's alignment
    AcDbObjectId textStyle;
    // Merge range this cell starts (min == max when not merged), and whether it is covered by another.
    int mergeRows = 1, mergeCols = 1;
    bool merged = false;
};

// A cell as a table is drawn: a merged range once, by the cell it starts at. Its frame runs from (x, -y) to
// (x + width, -y - height) in the table's own plane (rows go down from the insertion point).
struct AcDbTableDrawnCell {
    int row = 0, col = 0;
    double x = 0, y = 0, width = 0, height = 0;
};

class AcDbTable : public AcDbBlockReference {
    ACRX_DECLARE_MEMBERS(AcDbTable)
public:
    AcDbTable() = default;
    ACDB_CLONE_DATA(AcDbTable)

    AcDbObjectId tableStyle() const { return style_; }
    Acad::ErrorStatus setTableStyle(AcDbObjectId id);
    Adesk::UInt32 numRows() const { return Adesk::UInt32(heights_.size()); }
    Adesk::UInt32 numColumns() const { return Adesk::UInt32(widths_.size()); }
    Acad::ErrorStatus setSize(int rows, int cols);
    Acad::ErrorStatus setNumRows(int rows);
    Acad::ErrorStatus setNumColumns(int cols);
    Acad::ErrorStatus insertRows(int row, double height, int nRows = 1);
    Acad::ErrorStatus deleteRows(int row, int nRows = 1);
    Acad::ErrorStatus insertColumns(int col, double width, int nCols = 1);
    Acad::ErrorStatus deleteColumns(int col, int nCols = 1);
    Acad::ErrorStatus mergeCells(int minRow, int maxRow, int minCol, int maxCol);
    Acad::ErrorStatus unmergeCells(int minRow, int maxRow, int minCol, int maxCol);
    bool isMergedCell(int row, int col, int* minRow = nullptr, int* maxRow = nullptr, int* minCol = nullptr,
                      int* maxCol = nullptr) const;

    AcDb::CellType cellType(int row, int col) const;
    Acad::ErrorStatus setCellType(int row, int col, AcDb::CellType t);
    // The text as stored ("\\" stands for one backslash); a copy, free with acutDelString.
    ACHAR* textString(int row, int col) const;
    const std::wstring& cellText(int row, int col) const;
    // The text as shown: escaped backslashes become one.
    std::wstring cellDisplayText(int row, int col) const;
    Acad::ErrorStatus setTextString(int row, int col, const ACHAR* text);
    AcDbObjectId blockTableRecordId(int row, int col) const;
    Acad::ErrorStatus setBlockTableRecordId(int row, int col, AcDbObjectId id, bool autoFit = false);
    bool isAutoScale(int row, int col) const;

    double columnWidth(int col) const;
    Acad::ErrorStatus setColumnWidth(int col, double w);
    Acad::ErrorStatus setColumnWidth(double w);
    double rowHeight(int row) const;
    Acad::ErrorStatus setRowHeight(int row, double h);
    Acad::ErrorStatus setRowHeight(double h);
    double width() const;
    double height() const;

    AcDb::RowType rowType(int row) const;
    // A row type's text height and alignment are the table style's until the table sets its own.
    double textHeight(AcDb::RowType type = AcDb::kDataRow) const;
    bool hasOwnTextHeight(AcDb::RowType type) const;
    Acad::ErrorStatus setTextHeight(double h, int rowTypes = AcDb::kDataRow | AcDb::kTitleRow | AcDb::kHeaderRow);
    double textHeight(int row, int col) const;
    Acad::ErrorStatus setTextHeight(int row, int col, double h);
    AcDb::CellAlignment alignment(AcDb::RowType type = AcDb::kDataRow) const;
    bool hasOwnAlignment(AcDb::RowType type) const;
    Acad::ErrorStatus setAlignment(AcDb::CellAlignment a,
                                   int rowTypes = AcDb::kDataRow | AcDb::kTitleRow | AcDb::kHeaderRow);
    AcDb::CellAlignment alignment(int row, int col) const;
    Acad::ErrorStatus setAlignment(int row, int col, AcDb::CellAlignment a);
    bool isTitleSuppressed() const { return titleSuppressed_; }
    Acad::ErrorStatus suppressTitleRow(bool v);
    bool isHeaderSuppressed() const { return headerSuppressed_; }
    Acad::ErrorStatus suppressHeaderRow(bool v);
    // The way its columns run: the x axis of its rotation in its plane, so that the table is drawn,
    // measured and saved turned alike.
    AcGeVector3d direction() const;
    Acad::ErrorStatus setDirection(const AcGeVector3d& d);

    Acad::ErrorStatus generateLayout() { return Acad::eOk; }
    Acad::ErrorStatus recomputeTableBlock(bool forceUpdate = true) { return Acad::eOk; }

    const AcDbTableCell& cell(int row, int col) const;
    AcDbTableCell& cellForWrite(int row, int col);
    // The cells drawn, row by row; and what a block cell's block of the given size is scaled by to sit
    // centred inside its cell with a margin of a tenth of the cell (never enlarged; 0 when it cannot fit).
    std::vector<AcDbTableDrawnCell> drawnCells() const;
    static double blockCellScale(double blockWidth, double blockHeight, double cellWidth, double cellHeight);

    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;

private:
    bool inRange(int row, int col) const {
        return row >= 0 && col >= 0 && row < int(heights_.size()) && col < int(widths_.size());
    }
    void corners(AcGePoint3d c[4]) const;
    const AcDbTableStyle* style() const;
    AcDbObjectId style_;
    std::vector<double> widths_, heights_;
    std::vector<std::vector<AcDbTableCell>> cells_;
    // By row type (data, title, header): the table's own values, used where set or where no style is found.
    double textHeight_[3] = {0.18, 0.25, 0.18};
    AcDb::CellAlignment alignment_[3] = {AcDb::kTopLeft, AcDb::kTopCenter, AcDb::kTopCenter};
    bool ownTextHeight_[3] = {false, false, false}, ownAlignment_[3] = {false, false, false};
    bool titleSuppressed_ = false, headerSuppressed_ = false;
};
