#include "cad/db/AcDbTable.h"

#include <algorithm>
#include <cmath>

#include "cad/db/AcDbDatabase.h"

ACRX_DEFINE_MEMBERS(AcDbTable, AcDbBlockReference, L"ACAD_TABLE")

namespace {
int slot(AcDb::RowType t) {
    return t == AcDb::kTitleRow ? 1 : t == AcDb::kHeaderRow ? 2 : 0;
}
const AcDbTableCell kNoCell;
const std::wstring kEmpty;
} // namespace

Acad::ErrorStatus AcDbTable::setTableStyle(AcDbObjectId id) {
    AcDbDatabase* db = id.database();
    auto* style = db ? AcDbTableStyle::cast(db->peek(id)) : nullptr;
    // A file names its styles before it holds them (tables come before the objects section).
    const bool stillToCome = db && db->isLoading() && !db->peek(id);
    if (!style && !stillToCome) return Acad::eInvalidInput;
    assertWriteEnabled();
    style_ = id;
    // The row types follow the new style.
    for (int i = 0; i < 3; ++i) ownTextHeight_[i] = ownAlignment_[i] = false;
    if (style) {
        titleSuppressed_ = style->isTitleSuppressed();
        headerSuppressed_ = style->isHeaderSuppressed();
    }
    return Acad::eOk;
}

const AcDbTableStyle* AcDbTable::style() const {
    AcDbDatabase* db = style_.database();
    return db ? AcDbTableStyle::cast(db->peek(style_)) : nullptr;
}

Acad::ErrorStatus AcDbTable::setSize(int rows, int cols) {
    if (rows < 1 || cols < 1) return Acad::eInvalidInput;
    assertWriteEnabled();
    heights_.resize(size_t(rows), heights_.empty() ? 1.0 : heights_.back());
    widths_.resize(size_t(cols), widths_.empty() ? 1.0 : widths_.back());
    cells_.resize(size_t(rows));
    for (auto& r : cells_) r.resize(size_t(cols));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::setNumRows(int rows) {
    return setSize(rows, std::max(1, int(numColumns())));
}
Acad::ErrorStatus AcDbTable::setNumColumns(int cols) {
    return setSize(std::max(1, int(numRows())), cols);
}

Acad::ErrorStatus AcDbTable::insertRows(int row, double height, int n) {
    if (row < 0 || row > int(numRows()) || n < 1 || height <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    heights_.insert(heights_.begin() + row, size_t(n), height);
    cells_.insert(cells_.begin() + row, size_t(n), std::vector<AcDbTableCell>(widths_.size()));
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::deleteRows(int row, int n) {
    if (row < 0 || n < 1 || row + n > int(numRows()) || int(numRows()) - n < 1) return Acad::eInvalidInput;
    assertWriteEnabled();
    heights_.erase(heights_.begin() + row, heights_.begin() + row + n);
    cells_.erase(cells_.begin() + row, cells_.begin() + row + n);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::insertColumns(int col, double width, int n) {
    if (col < 0 || col > int(numColumns()) || n < 1 || width <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    widths_.insert(widths_.begin() + col, size_t(n), width);
    for (auto& r : cells_) r.insert(r.begin() + col, size_t(n), AcDbTableCell());
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::deleteColumns(int col, int n) {
    if (col < 0 || n < 1 || col + n > int(numColumns()) || int(numColumns()) - n < 1) return Acad::eInvalidInput;
    assertWriteEnabled();
    widths_.erase(widths_.begin() + col, widths_.begin() + col + n);
    for (auto& r : cells_) r.erase(r.begin() + col, r.begin() + col + n);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::mergeCells(int minRow, int maxRow, int minCol, int maxCol) {
    if (!inRange(minRow, minCol) || !inRange(maxRow, maxCol) || minRow > maxRow || minCol > maxCol)
        return Acad::eTableCellOutOfRange;
    for (int r = minRow; r <= maxRow; ++r)
        for (int c = minCol; c <= maxCol; ++c)
            if (isMergedCell(r, c)) return Acad::eInvalidInput;
    assertWriteEnabled();
    for (int r = minRow; r <= maxRow; ++r)
        for (int c = minCol; c <= maxCol; ++c) cells_[size_t(r)][size_t(c)].merged = true;
    AcDbTableCell& top = cells_[size_t(minRow)][size_t(minCol)];
    top.mergeRows = maxRow - minRow + 1;
    top.mergeCols = maxCol - minCol + 1;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::unmergeCells(int minRow, int maxRow, int minCol, int maxCol) {
    if (!inRange(minRow, minCol) || !inRange(maxRow, maxCol)) return Acad::eTableCellOutOfRange;
    assertWriteEnabled();
    for (int r = minRow; r <= maxRow; ++r)
        for (int c = minCol; c <= maxCol; ++c) {
            AcDbTableCell& cell = cells_[size_t(r)][size_t(c)];
            cell.merged = false;
            cell.mergeRows = cell.mergeCols = 1;
        }
    return Acad::eOk;
}

bool AcDbTable::isMergedCell(int row, int col, int* minRow, int* maxRow, int* minCol, int* maxCol) const {
    if (!inRange(row, col) || !cells_[size_t(row)][size_t(col)].merged) return false;
    for (int r = 0; r <= row; ++r)
        for (int c = 0; c <= col; ++c) {
            const AcDbTableCell& t = cells_[size_t(r)][size_t(c)];
            if ((t.mergeRows > 1 || t.mergeCols > 1) && r + t.mergeRows > row && c + t.mergeCols > col) {
                if (minRow) *minRow = r;
                if (maxRow) *maxRow = r + t.mergeRows - 1;
                if (minCol) *minCol = c;
                if (maxCol) *maxCol = c + t.mergeCols - 1;
                return true;
            }
        }
    return false;
}

const AcDbTableCell& AcDbTable::cell(int row, int col) const {
    return inRange(row, col) ? cells_[size_t(row)][size_t(col)] : kNoCell;
}

AcDbTableCell& AcDbTable::cellForWrite(int row, int col) {
    if (!inRange(row, col)) setSize(std::max(row + 1, int(numRows())), std::max(col + 1, int(numColumns())));
    return cells_[size_t(row)][size_t(col)];
}

AcDb::CellType AcDbTable::cellType(int row, int col) const {
    return cell(row, col).type;
}

Acad::ErrorStatus AcDbTable::setCellType(int row, int col, AcDb::CellType t) {
    if (!inRange(row, col)) return Acad::eTableCellOutOfRange;
    assertWriteEnabled();
    cells_[size_t(row)][size_t(col)].type = t;
    return Acad::eOk;
}

ACHAR* AcDbTable::textString(int row, int col) const {
    return acutDupString(cell(row, col).text.c_str());
}
const std::wstring& AcDbTable::cellText(int row, int col) const {
    return inRange(row, col) ? cell(row, col).text : kEmpty;
}

std::wstring AcDbTable::cellDisplayText(int row, int col) const {
    const std::wstring& s = cellText(row, col);
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'\\' && i + 1 < s.size() && s[i + 1] == L'\\') ++i;
        out += s[i];
    }
    return out;
}

Acad::ErrorStatus AcDbTable::setTextString(int row, int col, const ACHAR* text) {
    if (!inRange(row, col)) return Acad::eTableCellOutOfRange;
    assertWriteEnabled();
    AcDbTableCell& c = cells_[size_t(row)][size_t(col)];
    c.type = AcDb::kTextCell;
    c.text = text ? text : L"";
    c.block.setNull();
    return Acad::eOk;
}

AcDbObjectId AcDbTable::blockTableRecordId(int row, int col) const {
    return cell(row, col).block;
}

Acad::ErrorStatus AcDbTable::setBlockTableRecordId(int row, int col, AcDbObjectId id, bool autoFit) {
    if (!inRange(row, col)) return Acad::eTableCellOutOfRange;
    AcDbDatabase* db = id.database();
    if (!db || !AcDbBlockTableRecord::cast(db->peek(id))) return Acad::eInvalidInput;
    assertWriteEnabled();
    AcDbTableCell& c = cells_[size_t(row)][size_t(col)];
    c.type = AcDb::kBlockCell;
    c.block = id;
    c.autoFit = autoFit;
    c.text.clear();
    return Acad::eOk;
}

bool AcDbTable::isAutoScale(int row, int col) const {
    return cell(row, col).autoFit;
}

double AcDbTable::columnWidth(int col) const {
    return (col >= 0 && col < int(numColumns())) ? widths_[size_t(col)] : 0;
}
double AcDbTable::rowHeight(int row) const {
    return (row >= 0 && row < int(numRows())) ? heights_[size_t(row)] : 0;
}

Acad::ErrorStatus AcDbTable::setColumnWidth(int col, double w) {
    if (col < 0 || col >= int(numColumns())) return Acad::eTableCellOutOfRange;
    if (w <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    widths_[size_t(col)] = w;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::setColumnWidth(double w) {
    if (w <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    for (auto& x : widths_) x = w;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::setRowHeight(int row, double h) {
    if (row < 0 || row >= int(numRows())) return Acad::eTableCellOutOfRange;
    if (h <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    heights_[size_t(row)] = h;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::setRowHeight(double h) {
    if (h <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    for (auto& x : heights_) x = h;
    return Acad::eOk;
}

std::vector<AcDbTableDrawnCell> AcDbTable::drawnCells() const {
    std::vector<AcDbTableDrawnCell> out;
    double y = 0;
    for (int r = 0; r < int(numRows()); ++r) {
        double x = 0;
        for (int col = 0; col < int(numColumns()); ++col) {
            const AcDbTableCell& c = cell(r, col);
            if (!c.merged || c.mergeRows > 1 || c.mergeCols > 1) {
                AcDbTableDrawnCell d{r, col, x, y, 0, 0};
                for (int k = 0; k < c.mergeCols && col + k < int(numColumns()); ++k) d.width += columnWidth(col + k);
                for (int k = 0; k < c.mergeRows && r + k < int(numRows()); ++k) d.height += rowHeight(r + k);
                out.push_back(d);
            }
            x += columnWidth(col);
        }
        y += rowHeight(r);
    }
    return out;
}

double AcDbTable::blockCellScale(double blockWidth, double blockHeight, double cellWidth, double cellHeight) {
    const double margin = 0.1 * std::min(cellWidth, cellHeight);
    double s = 1.0;
    if (blockWidth > 0) s = std::min(s, (cellWidth - 2 * margin) / blockWidth);
    if (blockHeight > 0) s = std::min(s, (cellHeight - 2 * margin) / blockHeight);
    return s > 0 ? s : 0;
}

double AcDbTable::width() const {
    double s = 0;
    for (double w : widths_) s += w;
    return s;
}

double AcDbTable::height() const {
    double s = 0;
    for (double h : heights_) s += h;
    return s;
}

AcDb::RowType AcDbTable::rowType(int row) const {
    int r = row;
    if (!titleSuppressed_) {
        if (r == 0) return AcDb::kTitleRow;
        --r;
    }
    if (!headerSuppressed_ && r == 0) return AcDb::kHeaderRow;
    return AcDb::kDataRow;
}

double AcDbTable::textHeight(AcDb::RowType type) const {
    const AcDbTableStyle* s = ownTextHeight_[slot(type)] ? nullptr : style();
    return s ? s->textHeight(type) : textHeight_[slot(type)];
}

bool AcDbTable::hasOwnTextHeight(AcDb::RowType type) const {
    return ownTextHeight_[slot(type)];
}

Acad::ErrorStatus AcDbTable::setTextHeight(double h, int rowTypes) {
    if (h <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    for (AcDb::RowType t : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow})
        if (rowTypes & t) {
            textHeight_[slot(t)] = h;
            ownTextHeight_[slot(t)] = true;
        }
    // Cells of those rows follow the row type again.
    for (int r = 0; r < int(numRows()); ++r)
        if (rowTypes & rowType(r))
            for (auto& c : cells_[size_t(r)]) c.textHeight = 0;
    return Acad::eOk;
}

double AcDbTable::textHeight(int row, int col) const {
    const AcDbTableCell& c = cell(row, col);
    return c.textHeight > 0 ? c.textHeight : textHeight(rowType(row));
}

Acad::ErrorStatus AcDbTable::setTextHeight(int row, int col, double h) {
    if (!inRange(row, col)) return Acad::eTableCellOutOfRange;
    if (h <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    cells_[size_t(row)][size_t(col)].textHeight = h;
    return Acad::eOk;
}

AcDb::CellAlignment AcDbTable::alignment(AcDb::RowType type) const {
    const AcDbTableStyle* s = ownAlignment_[slot(type)] ? nullptr : style();
    return s ? s->alignment(type) : alignment_[slot(type)];
}

bool AcDbTable::hasOwnAlignment(AcDb::RowType type) const {
    return ownAlignment_[slot(type)];
}

Acad::ErrorStatus AcDbTable::setAlignment(AcDb::CellAlignment a, int rowTypes) {
    assertWriteEnabled();
    for (AcDb::RowType t : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow})
        if (rowTypes & t) {
            alignment_[slot(t)] = a;
            ownAlignment_[slot(t)] = true;
        }
    for (int r = 0; r < int(numRows()); ++r)
        if (rowTypes & rowType(r))
            for (auto& c : cells_[size_t(r)]) c.alignment = AcDb::CellAlignment(0);
    return Acad::eOk;
}

AcDb::CellAlignment AcDbTable::alignment(int row, int col) const {
    const AcDbTableCell& c = cell(row, col);
    return int(c.alignment) != 0 ? c.alignment : alignment(rowType(row));
}

Acad::ErrorStatus AcDbTable::setAlignment(int row, int col, AcDb::CellAlignment a) {
    if (!inRange(row, col)) return Acad::eTableCellOutOfRange;
    assertWriteEnabled();
    cells_[size_t(row)][size_t(col)].alignment = a;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::suppressTitleRow(bool v) {
    assertWriteEnabled();
    titleSuppressed_ = v;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbTable::suppressHeaderRow(bool v) {
    assertWriteEnabled();
    headerSuppressed_ = v;
    return Acad::eOk;
}
AcGeVector3d AcDbTable::direction() const {
    return AcGeMatrix3d::planeToWorld(normal()) * AcGeVector3d(std::cos(rotation()), std::sin(rotation()), 0);
}

Acad::ErrorStatus AcDbTable::setDirection(const AcGeVector3d& d) {
    const AcGeVector3d inPlane = AcGeMatrix3d::worldToPlane(normal()) * d;
    if (AcGeVector3d(inPlane.x, inPlane.y, 0).isZeroLength()) return Acad::eInvalidInput;
    return setRotation(std::atan2(inPlane.y, inPlane.x));
}

// The table grows along its direction and downwards from its insertion point.
void AcDbTable::corners(AcGePoint3d c[4]) const {
    AcGeVector3d dx = direction(), dy = normal().crossProduct(dx).normal();
    c[0] = position();
    c[1] = c[0] + dx * width();
    c[2] = c[1] - dy * height();
    c[3] = c[0] - dy * height();
}

Acad::ErrorStatus AcDbTable::transformBy(const AcGeMatrix3d& m) {
    if (!m.isUniScaledOrtho()) return Acad::eCannotScaleNonUniformly;
    double s = m.scale();
    AcGeVector3d d = m * direction(), n = m * normal();
    assertWriteEnabled();
    setPosition(m * position());
    setNormal(n.normal());
    setDirection(d);
    for (auto& w : widths_) w *= s;
    for (auto& h : heights_) h *= s;
    // A scaled table's texts are its own: the style's heights no longer fit it.
    if (s != 1.0)
        for (AcDb::RowType t : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow}) {
            textHeight_[slot(t)] = textHeight(t) * s;
            ownTextHeight_[slot(t)] = true;
        }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbTable::getGeomExtents(AcDbExtents& ext) const {
    ext = AcDbExtents();
    AcGePoint3d c[4];
    corners(c);
    for (auto& p : c) ext.addPoint(p);
    return Acad::eOk;
}

void AcDbTable::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    AcGePoint3d c[4];
    corners(c);
    cadgeom::BulgePath p;
    p.closed = true;
    for (auto& q : c) p.vertices.push_back({(m * q).convert2d(), 0});
    paths.push_back(p);
}

void AcDbTable::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbBlockReference::collectReferences(refs);
    refs.push_back(&style_);
    for (auto& r : cells_)
        for (auto& c : r) {
            refs.push_back(&c.block);
            refs.push_back(&c.textStyle);
        }
}
