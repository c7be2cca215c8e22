#include "drawing/AcadUtilities.h"

#include <algorithm>
#include <array>
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/ring.hpp>
#include <cmath>
#include <limits>
#include <vector>

#include "core/Catch.h"
#include "core/Failures.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "drawing/AcadHost.h"
#include "model/BlockDWG.h"

KELMO_SOURCE_FILE(L"AcadUtilities.cpp");

namespace {

// The host's canonical media names, by stored media id.
constexpr std::array<const wchar_t*, CAcadUtilities::mediaCount> kMediaNames = {
    L"ISO_A1_(841.00_x_594.00_MM)",
    L"ISO_A1_(594.00_x_841.00_MM)",
    L"ISO_A2_(594.00_x_420.00_MM)",
    L"ISO_A2_(420.00_x_594.00_MM)",
    L"ISO_A3_(420.00_x_297.00_MM)",
    L"ISO_A3_(297.00_x_420.00_MM)",
    L"ISO_A4_(297.00_x_210.00_MM)",
    L"ISO_A4_(210.00_x_297.00_MM)",
    L"ISO_A0_(841.00_x_1189.00_MM)",
    L"ISO_expand_A4_(297.00_x_210.00_MM)",
    L"ISO_expand_A4_(210.00_x_297.00_MM)",
    L"ISO_expand_A3_(420.00_x_297.00_MM)",
    L"ISO_expand_A3_(297.00_x_420.00_MM)",
    L"ISO_expand_A2_(594.00_x_420.00_MM)",
    L"ISO_expand_A2_(420.00_x_594.00_MM)",
    L"ISO_expand_A1_(841.00_x_594.00_MM)",
    L"ISO_expand_A1_(594.00_x_841.00_MM)",
    L"ISO_expand_A0_(841.00_x_1189.00_MM)",
    L"ISO_full_bleed_A5_(210.00_x_148.00_MM)",
    L"ISO_full_bleed_A5_(148.00_x_210.00_MM)",
    L"ISO_full_bleed_A4_(297.00_x_210.00_MM)",
    L"ISO_full_bleed_A4_(210.00_x_297.00_MM)",
    L"ISO_full_bleed_A3_(420.00_x_297.00_MM)",
    L"ISO_full_bleed_A3_(297.00_x_420.00_MM)",
    L"ISO_full_bleed_A2_(594.00_x_420.00_MM)",
    L"ISO_full_bleed_A2_(420.00_x_594.00_MM)",
    L"ISO_full_bleed_A1_(841.00_x_594.00_MM)",
    L"ISO_full_bleed_A1_(594.00_x_841.00_MM)",
    L"ISO_full_bleed_A0_(841.00_x_1189.00_MM)",
    L"ISO_full_bleed_B3_(500.00_x_353.00_MM)",
    L"ISO_full_bleed_B3_(353.00_x_500.00_MM)",
    L"ISO_full_bleed_B2_(707.00_x_500.00_MM)",
    L"ISO_full_bleed_B2_(500.00_x_707.00_MM)",
    L"ISO_full_bleed_B1_(1000.00_x_707.00_MM)",
    L"ISO_full_bleed_B1_(707.00_x_1000.00_MM)",
    L"ISO_full_bleed_B0_(1414.00_x_1000.00_MM)",
    L"ISO_full_bleed_B0_(1000.00_x_1414.00_MM)",
    L"ISO_full_bleed_2A0_(1189.00_x_1682.00_MM)",
    L"ISO_full_bleed_4A0_(1682.00_x_2378.00_MM)",
    L"ANSI_A_(11.00_x_8.50_Inches)",
    L"ANSI_A_(8.50_x_11.00_Inches)",
    L"ANSI_B_(17.00_x_11.00_Inches)",
    L"ANSI_B_(11.00_x_17.00_Inches)",
    L"ANSI_C_(22.00_x_17.00_Inches)",
    L"ANSI_C_(17.00_x_22.00_Inches)",
    L"ANSI_D_(34.00_x_22.00_Inches)",
    L"ANSI_D_(22.00_x_34.00_Inches)",
    L"ANSI_E_(34.00_x_44.00_Inches)",
    L"ANSI_expand_A_(11.00_x_8.50_Inches)",
    L"ANSI_expand_A_(8.50_x_11.00_Inches)",
    L"ANSI_expand_B_(17.00_x_11.00_Inches)",
    L"ANSI_expand_B_(11.00_x_17.00_Inches)",
    L"ANSI_expand_C_(22.00_x_17.00_Inches)",
    L"ANSI_expand_C_(17.00_x_22.00_Inches)",
    L"ANSI_expand_D_(34.00_x_22.00_Inches)",
    L"ANSI_expand_D_(22.00_x_34.00_Inches)",
    L"ANSI_expand_E_(34.00_x_44.00_Inches)",
    L"ANSI_full_bleed_F_(28.00_x_40.00_Inches)",
    L"ANSI_full_bleed_E_(34.00_x_44.00_Inches)",
    L"ANSI_full_bleed_D_(34.00_x_22.00_Inches)",
    L"ANSI_full_bleed_D_(22.00_x_34.00_Inches)",
    L"ANSI_full_bleed_C_(22.00_x_17.00_Inches)",
    L"ANSI_full_bleed_C_(17.00_x_22.00_Inches)",
    L"ANSI_full_bleed_B_(17.00_x_11.00_Inches)",
    L"ANSI_full_bleed_B_(11.00_x_17.00_Inches)",
    L"ANSI_full_bleed_A_(11.00_x_8.50_Inches)",
    L"ANSI_full_bleed_A_(8.50_x_11.00_Inches)",
    L"ARCH_C_(24.00_x_18.00_Inches)",
    L"ARCH_C_(18.00_x_24.00_Inches)",
    L"ARCH_D_(36.00_x_24.00_Inches)",
    L"ARCH_D_(24.00_x_36.00_Inches)",
    L"ARCH_E_(36.00_x_48.00_Inches)",
    L"ARCH_E1_(30.00_x_42.00_Inches)",
    L"ARCH_expand_C_(24.00_x_18.00_Inches)",
    L"ARCH_expand_C_(18.00_x_24.00_Inches)",
    L"ARCH_expand_D_(36.00_x_24.00_Inches)",
    L"ARCH_expand_D_(24.00_x_36.00_Inches)",
    L"ARCH_expand_E_(36.00_x_48.00_Inches)",
    L"ARCH_expand_E1_(30.00_x_42.00_Inches)",
    L"ARCH_full_bleed_E1_(30.00_x_42.00_Inches)",
    L"ARCH_full_bleed_E_(36.00_x_48.00_Inches)",
    L"ARCH_full_bleed_D_(36.00_x_24.00_Inches)",
    L"ARCH_full_bleed_D_(24.00_x_36.00_Inches)",
    L"ARCH_full_bleed_C_(24.00_x_18.00_Inches)",
    L"ARCH_full_bleed_C_(18.00_x_24.00_Inches)",
    L"ARCH_full_bleed_B_(18.00_x_12.00_Inches)",
    L"ARCH_full_bleed_B_(12.00_x_18.00_Inches)",
    L"ARCH_full_bleed_A_(12.00_x_9.00_Inches)",
    L"ARCH_full_bleed_A_(9.00_x_12.00_Inches)",
};

struct KeyCut {
    int code;
    int front;
    int back;
};

// Characters before the value (the key and "=") and after it (a unit text).
constexpr KeyCut kKeyCuts[] = {
    {CAcadUtilities::keyName, 5, 0},
    {CAcadUtilities::keyAreaMetric, 5, 5},
    {CAcadUtilities::keyAreaImperial, 5, 6},
    {CAcadUtilities::keyPerimeterMetric, 10, 2},
    {CAcadUtilities::keyPerimeterImperial, 10, 3},
    {CAcadUtilities::keyTagType, 8, 0},
    {CAcadUtilities::keyAreaType, 10, 0},
    {CAcadUtilities::keyCostCentre, 12, 0},
    {CAcadUtilities::keyDate, 5, 0},
    {CAcadUtilities::keyDateLastMove, 12, 0},
    {CAcadUtilities::keyDeptCharge, 12, 0},
    {CAcadUtilities::keyRoomHeight, 12, 0},
    {CAcadUtilities::keySpecialReq, 12, 0},
    {CAcadUtilities::keyTotalStaff, 10, 0},
    {CAcadUtilities::keyTotalWorkstations, 11, 0},
    {CAcadUtilities::keyVolume, 7, 0},
    {CAcadUtilities::keyHandlesToMinus, 15, 0},
    {CAcadUtilities::keyHandlesToAdd, 13, 0},
};

// Fills the target from a space block the caller holds open.
int copySpaceBlock(AcDbBlockReference* reference, AcApDocument* document, CBlockDWG* target) {
    CBlockDWG* space = new CBlockDWG(reference, document);
    try {
        space->copyInto(target);
    } catch (...) {
        delete space;
        throw;
    }
    delete space;
    return 1;
}

// The host's coordinate-system codes for acedTrans.
constexpr short worldCode = 0;
constexpr short ucsCode = 1;

// The point carried from one coordinate system to the other by the host.
AcGePoint3d transformPoint(const AcGePoint3d& point, short fromCode, short toCode) {
    resbuf from;
    resbuf to;
    from.restype = RTSHORT;
    from.resval.rint = fromCode;
    to.restype = RTSHORT;
    to.resval.rint = toCode;
    ads_point in = {point.x, point.y, point.z};
    ads_point out = {point.x, point.y, point.z};
    acedTrans(in, &from, &to, 0, out);
    return AcGePoint3d(out[0], out[1], out[2]);
}

// The model-space background of the editor, as red, green and blue bytes from the lowest.
DWORD modelBackgroundColour() {
    AcColorSettings colours{};
    if (!acedGetCurrentColors(&colours)) return 0;
    return colours.dwGfxModelBkColor;
}

} // namespace

CString CAcadUtilities::plotExtension(int plotType) {
    KELMO_TRY
        switch (plotType) {
            case plotPDF:
                return L".pdf";
            case plotJPG:
                return L".jpg";
            case plotPNG:
                return L".png";
            default:
                return L".dwf";
        }
    KELMO_CATCH(L"CAcadUtilities::plotExtension")
}

CString CAcadUtilities::convertPlotDevice(PlotDevice plotType) {
    KELMO_TRY
        switch (plotType) {
            case plotPDF:
                return L"DWG To PDF.pc3";
            case plotJPG:
                return L"PublishToWeb JPG.pc3";
            case plotPNG:
                return L"PublishToWeb PNG.pc3";
            default:
                return L"DWF6 ePlot.pc3";
        }
    KELMO_CATCH(L"CAcadUtilities::convertPlotDevice")
}

CAcadUtilities::PlotDevice CAcadUtilities::convertPlotDevice(int storedId) {
    KELMO_TRY
        return (storedId >= plotDWF && storedId <= plotPNG) ? static_cast<PlotDevice>(storedId) : plotDWF;
    KELMO_CATCH(L"CAcadUtilities::convertPlotDevice")
}

int CAcadUtilities::convertToPlotDeviceID(PlotDevice plotType) {
    KELMO_TRY
        int value = static_cast<int>(plotType);
        return (value >= plotDWF && value <= plotPNG) ? value : 0;
    KELMO_CATCH(L"CAcadUtilities::convertToPlotDeviceID")
}

CString CAcadUtilities::convertMediaSize(MediaSize mediaId) {
    KELMO_TRY
        int index = static_cast<int>(mediaId);
        if (index < 0 || index >= mediaCount) index = 0;
        return kMediaNames[static_cast<size_t>(index)];
    KELMO_CATCH(L"CAcadUtilities::convertMediaSize")
}

CAcadUtilities::MediaSize CAcadUtilities::convertMediaSize(int storedId) {
    KELMO_TRY
        return static_cast<MediaSize>((storedId >= 0 && storedId < mediaCount) ? storedId : 0);
    KELMO_CATCH(L"CAcadUtilities::convertMediaSize")
}

int CAcadUtilities::convertToMediaSizeID(MediaSize mediaId) {
    KELMO_TRY
        int value = static_cast<int>(mediaId);
        return (value >= 0 && value < mediaCount) ? value : 0;
    KELMO_CATCH(L"CAcadUtilities::convertToMediaSizeID")
}

int CAcadUtilities::convertScale(int storedId) {
    KELMO_TRY
        // The host's value 19 has no stored id: the ids above 18 skip it.
        if (storedId >= 0 && storedId <= 18) return storedId;
        if (storedId >= 19 && storedId <= 33) return storedId + 1;
        return 0;
    KELMO_CATCH(L"CAcadUtilities::convertScale")
}

int CAcadUtilities::convertToScaleTypeID(int scaleType) {
    KELMO_TRY
        if (scaleType >= 0 && scaleType <= 18) return scaleType;
        if (scaleType >= 20 && scaleType <= 34) return scaleType - 1;
        return 0;
    KELMO_CATCH(L"CAcadUtilities::convertToScaleTypeID")
}

int CAcadUtilities::convertPlotArea(int storedId) {
    KELMO_TRY
        return (storedId >= 0 && storedId <= 5) ? storedId : 0;
    KELMO_CATCH(L"CAcadUtilities::convertPlotArea")
}

int CAcadUtilities::convertToAreaTypeID(int areaType) {
    KELMO_TRY
        return (areaType >= 0 && areaType <= 5) ? areaType : 0;
    KELMO_CATCH(L"CAcadUtilities::convertToAreaTypeID")
}

CString CAcadUtilities::extractData(int keyCode, CString text) {
    KELMO_TRY
        for (const KeyCut& cut : kKeyCuts) {
            if (cut.code != keyCode) continue;
            // A text shorter than its key, or than key and unit, has no value: never cut past its ends.
            int length = text.GetLength();
            if (length <= cut.front) return CString();
            CString value = text.Right(length - cut.front);
            if (cut.back > 0) {
                int rest = value.GetLength();
                if (rest <= cut.back) return CString();
                value = value.Left(rest - cut.back);
            }
            return value;
        }
        return CString();
    KELMO_CATCH(L"CAcadUtilities::extractData")
}

void CAcadUtilities::convertHandlesStringToArray(CString handles, CArray<AcDbHandle, AcDbHandle>& array) {
    KELMO_TRY
        int start = 0;
        int length = handles.GetLength();
        while (start < length) {
            int comma = handles.Find(L',', start);
            int end = comma < 0 ? length : comma;
            CString piece = handles.Mid(start, end - start);
            // The module's own lists end with a comma; a list written without it reads the same.
            if (!piece.IsEmpty()) array.Add(AcDbHandle(static_cast<LPCWSTR>(piece)));
            if (comma < 0) break;
            start = comma + 1;
        }
    KELMO_CATCH(L"CAcadUtilities::convertHandlesStringToArray")
}

void CAcadUtilities::checkPlotFileExtension(CString& fileName, int plotType) {
    KELMO_TRY
        CString extension = plotExtension(plotType);
        if (fileName.IsEmpty())
            throw new CEXInvalidPlotFilename(KELMO_BANNER, kelmoSourceFile, L"CAcadUtilities::checkPlotFileExtension",
                                             fileName);
        int point = fileName.ReverseFind(L'.');
        if (point < 0) {
            fileName += extension;
            return;
        }
        if (fileName.Right(extension.GetLength()) != extension) fileName = fileName.Left(point) + extension;
    KELMO_CATCH(L"CAcadUtilities::checkPlotFileExtension")
}

double CAcadUtilities::getPolyPerimeter(const AcDbCurve* curve) {
    KELMO_TRY
        double endParam = 0.0;
        double length = 0.0;
        if (curve->getEndParam(endParam) != Acad::eOk) return 0.0;
        if (curve->getDistAtParam(endParam, length) != Acad::eOk) return 0.0;
        return length;
    KELMO_CATCH(L"CAcadUtilities::getPolyPerimeter")
}

double CAcadUtilities::calculatePolylinePerimeter(const AcDbPolyline* polyline, const CDrawingUnit& unit, int units) {
    KELMO_TRY
        return getPolyPerimeter(polyline) / unit.lengthDivisor(units);
    KELMO_CATCH(L"CAcadUtilities::calculatePolylinePerimeter")
}

double CAcadUtilities::calculatePolylineArea(const AcDbPolyline* polyline, const CDrawingUnit& unit, int units) {
    KELMO_TRY
        // A polyline the host cannot measure counts as no area.
        double area = 0.0;
        if (polyline->getArea(area) != Acad::eOk) area = 0.0;
        return area / unit.areaDivisor(units);
    KELMO_CATCH(L"CAcadUtilities::calculatePolylineArea")
}

double CAcadUtilities::recalculateBlockArea(const AcDbBlockReference* reference, const AcDbPolyline* polyline,
                                            const CDrawingUnit& unit, int units) {
    KELMO_TRY
        AcGeScale3d scale = reference->scaleFactors();
        return std::fabs(scale.sx) * std::fabs(scale.sy) * calculatePolylineArea(polyline, unit, units);
    KELMO_CATCH(L"CAcadUtilities::recalculateBlockArea")
}

double CAcadUtilities::recalculateBlockPerimeter(const AcDbBlockReference* reference, const AcDbPolyline* polyline,
                                                 const CDrawingUnit& unit, int units) {
    KELMO_TRY
        AcGeScale3d scale = reference->scaleFactors();
        double sx = std::fabs(scale.sx);
        double sy = std::fabs(scale.sy);
        // An unevenly scaled boundary has no perimeter that one factor could give.
        double factor = (sx == sy) ? sx : 0.0;
        return factor * (getPolyPerimeter(polyline) / unit.lengthDivisor(units));
    KELMO_CATCH(L"CAcadUtilities::recalculateBlockPerimeter")
}

const AcDbPolyline* CAcadUtilities::asLightweight(AcDbEntity* entity, AcDbPolyline& form) {
    if (const AcDbPolyline* polyline = AcDbPolyline::cast(entity)) return polyline;
    return form.convertFrom(entity, Adesk::kFalse) == Acad::eOk ? &form : nullptr;
}

namespace {

// Straight sides that all turn the same way through one whole turn: a convex outline, which cannot
// cross itself. Most rooms are, and are known without the general test.
bool convexWithoutArcs(const AcDbPolyline* polyline) {
    const unsigned int count = polyline->numVerts();
    if (count < 3) return false;
    std::vector<AcGePoint2d> points(count);
    for (unsigned int i = 0; i < count; ++i) {
        double bulge = 0.0;
        polyline->getBulgeAt(i, bulge);
        if (bulge != 0.0) return false;
        polyline->getPointAt(i, points[i]);
    }
    double turned = 0.0;
    int direction = 0;
    for (unsigned int i = 0; i < count; ++i) {
        const AcGePoint2d& before = points[(i + count - 1) % count];
        const AcGePoint2d& at = points[i];
        const AcGePoint2d& after = points[(i + 1) % count];
        const double inX = at.x - before.x, inY = at.y - before.y;
        const double outX = after.x - at.x, outY = after.y - at.y;
        const double cross = inX * outY - inY * outX;
        if (cross == 0.0) return false;
        const int side = cross > 0.0 ? 1 : -1;
        if (direction != 0 && side != direction) return false;
        direction = side;
        turned += std::atan2(cross, inX * outX + inY * outY);
    }
    constexpr double wholeTurn = 6.283185307179586;
    return std::fabs(std::fabs(turned) - wholeTurn) < 1e-6;
}

} // namespace

BOOL CAcadUtilities::liesFlat(const AcDbPolyline* polyline) {
    return polyline->normal().isParallelTo(AcGeVector3d::kZAxis);
}

BOOL CAcadUtilities::crossesItself(const AcDbPolyline* polyline, const CDrawingUnit& unit) {
    KELMO_TRY
        if (convexWithoutArcs(polyline)) return FALSE;
        namespace bg = boost::geometry;
        using Point = bg::model::d2::point_xy<double>;
        bg::model::ring<Point, true, false> ring;
        // Arcs are followed by chords that stray from them by a hundredth of a millimetre at most (a
        // quarter of one in inches): a room whose corner lies a millimetre inside a curved wall is no
        // crossing, and one reaching a millimetre through it is.
        const double stray = unit.chordStray();
        constexpr double mostChordsPerArc = 65536.0;
        const unsigned int count = polyline->numVerts();
        for (unsigned int i = 0; i < count; ++i) {
            AcGePoint2d start, end;
            double bulge = 0.0;
            polyline->getPointAt(i, start);
            polyline->getPointAt((i + 1) % count, end);
            polyline->getBulgeAt(i, bulge);
            ring.push_back(Point(start.x, start.y));
            const double chordX = end.x - start.x;
            const double chordY = end.y - start.y;
            const double chord = std::hypot(chordX, chordY);
            if (bulge == 0.0 || chord == 0.0) continue;
            const double sweep = 4.0 * std::atan(bulge);
            const double radius = chord / (2.0 * std::sin(sweep / 2.0));
            const double offset = radius * std::cos(sweep / 2.0);
            const double centreX = (start.x + end.x) / 2.0 - chordY / chord * offset;
            const double centreY = (start.y + end.y) / 2.0 + chordX / chord * offset;
            const double startAngle = std::atan2(start.y - centreY, start.x - centreX);
            // A chord of angle a strays 2 r sin(a / 4) squared from its arc.
            const double widest = 4.0 * std::asin(std::sqrt(std::min(1.0, stray / (2.0 * std::fabs(radius)))));
            const double wanted = std::ceil(std::fabs(sweep) / widest);
            const int chords = wanted >= 1.0 ? static_cast<int>(std::min(wanted, mostChordsPerArc)) : 1;
            for (int k = 1; k < chords; ++k) {
                const double angle = startAngle + sweep * k / chords;
                ring.push_back(Point(centreX + std::fabs(radius) * std::cos(angle),
                                     centreY + std::fabs(radius) * std::sin(angle)));
            }
        }
        if (bg::area(ring) < 0.0) bg::reverse(ring);
        bg::validity_failure_type failure = bg::no_failure;
        bg::is_valid(ring, failure);
        return failure == bg::failure_self_intersections ? TRUE : FALSE;
    KELMO_CATCH(L"CAcadUtilities::crossesItself")
}

AcGePoint3d CAcadUtilities::getPolylineTopLeft(const AcDbPolyline* polyline, const AcGeMatrix3d* matrix) {
    KELMO_TRY
        double x = std::numeric_limits<double>::max();
        double y = -std::numeric_limits<double>::max();
        unsigned int count = polyline->numVerts();
        for (unsigned int i = 0; i < count; ++i) {
            AcGePoint3d vertex;
            polyline->getPointAt(i, vertex);
            if (matrix) vertex.transformBy(*matrix);
            if (vertex.x < x) x = vertex.x;
            if (vertex.y > y) y = vertex.y;
        }
        return AcGePoint3d(x, y, 0.0);
    KELMO_CATCH(L"CAcadUtilities::getPolylineTopLeft")
}

BOOL CAcadUtilities::getBlockExtents(const AcDbEntity* entity, AcGePoint3d& minimum, AcGePoint3d& maximum,
                                     double margin) {
    KELMO_TRY
        const AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
        if (!reference) return FALSE;
        AcDbExtents extents;
        bool found = false;
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
            AcDbBlockTableRecordIterator* iterator = nullptr;
            if (definition->newIterator(iterator) == Acad::eOk) {
                for (iterator->start(); !iterator->done() && !found; iterator->step()) {
                    AcDbEntity* member = nullptr;
                    if (iterator->getEntity(member, AcDb::kForRead) != Acad::eOk) continue;
                    // The boundary is the first polyline, lightweight or 2D (as in an R12 drawing).
                    AcDbPolyline form;
                    if (const AcDbPolyline* polyline = asLightweight(member, form))
                        found = polyline->getGeomExtents(extents) == Acad::eOk;
                    member->close();
                }
                delete iterator;
            }
            definition->close();
        }
        // Without a boundary there is nothing to zoom to: the caller skips it.
        if (!found) return FALSE;
        AcGePoint3d low = extents.minPoint();
        AcGePoint3d high = extents.maxPoint();
        if (margin > 0.0) {
            low.x -= margin;
            low.y -= margin;
            high.x += margin;
            high.y += margin;
        }
        // The box's four corners where the reference shows them: turned, or turned over (an extrusion
        // other than +Z), the lowest corner need not stay the lowest.
        const AcGeMatrix3d transform = reference->blockTransform();
        minimum = transform * low;
        maximum = minimum;
        for (const AcGePoint3d& corner : {AcGePoint3d(high.x, low.y, low.z), AcGePoint3d(low.x, high.y, low.z), high}) {
            const AcGePoint3d shown = transform * corner;
            for (int axis = 0; axis < 3; ++axis) {
                minimum[axis] = std::min(minimum[axis], shown[axis]);
                maximum[axis] = std::max(maximum[axis], shown[axis]);
            }
        }
        return TRUE;
    KELMO_CATCH_ALSO(L"CAcadUtilities::getBlockExtents", ::kelmo::catchClassLib)
}

void CAcadUtilities::moveToBottom(AcDbEntity* entity) {
    KELMO_TRY
        AcDbDatabase* database = entity->database();
        if (database && (database->sortents() & 127) != 127)
            database->setSortents(static_cast<Adesk::UInt8>(database->sortents() | 127));
        AcDbSortentsTable* table = getSortentsTable(entity);
        if (!table) return;
        AcDbObjectIdArray ids;
        ids.append(entity->objectId());
        table->moveToBottom(ids);
        table->close();
    KELMO_CATCH(L"CAcadUtilities::moveToBottom")
}

AcDbSortentsTable* CAcadUtilities::getSortentsTable(const AcDbEntity* entity) {
    KELMO_TRY
        AcDbObjectId ownerId = entity->ownerId();
        if (ownerId.isNull()) return nullptr;
        AcDbBlockTableRecord* owner = nullptr;
        if (acdbOpenObject(owner, ownerId, AcDb::kForRead) != Acad::eOk) return nullptr;
        AcDbObjectId dictionaryId = owner->extensionDictionary();
        if (dictionaryId.isNull()) {
            if (owner->upgradeOpen() != Acad::eOk) {
                owner->close();
                return nullptr;
            }
            owner->createExtensionDictionary();
            dictionaryId = owner->extensionDictionary();
            if (dictionaryId.isNull()) {
                owner->close();
                return nullptr;
            }
        }
        AcDbDictionary* dictionary = nullptr;
        Acad::ErrorStatus status = acdbOpenObject(dictionary, dictionaryId, AcDb::kForRead);
        owner->close();
        if (status != Acad::eOk) return nullptr;

        AcDbObject* found = nullptr;
        if (dictionary->getAt(L"ACAD_SORTENTS", found, AcDb::kForWrite) != Acad::eOk) {
            if (dictionary->upgradeOpen() != Acad::eOk) {
                dictionary->close();
                return nullptr;
            }
            AcDbSortentsTable* table = new AcDbSortentsTable();
            AcDbObjectId tableId;
            if (dictionary->setAt(L"ACAD_SORTENTS", table, tableId) != Acad::eOk) {
                delete table;
                dictionary->close();
                return nullptr;
            }
            table->setBlockId(ownerId);
            found = table;
        }
        dictionary->close();
        AcDbSortentsTable* table = AcDbSortentsTable::cast(found);
        if (!table) found->close();
        return table;
    KELMO_CATCH(L"CAcadUtilities::getSortentsTable")
}

AcDbObjectId CAcadUtilities::convertHandleToObjectId(CString handle) {
    KELMO_TRY
        ads_name name = {0, 0};
        AcDbObjectId id;
        if (acdbHandEnt(static_cast<LPCWSTR>(handle), name) == RTNORM) acdbGetObjectId(id, name);
        return id;
    KELMO_CATCH(L"CAcadUtilities::convertHandleToObjectId")
}

void CAcadUtilities::checkBackgroundColour(AcCmColor& colour) {
    KELMO_TRY
        DWORD background = modelBackgroundColour();
        Adesk::UInt8 red = static_cast<Adesk::UInt8>(background & 0xFF);
        Adesk::UInt8 green = static_cast<Adesk::UInt8>((background >> 8) & 0xFF);
        Adesk::UInt8 blue = static_cast<Adesk::UInt8>((background >> 16) & 0xFF);
        // A colour equal to the background would vanish: use its opposite.
        if (colour.red() == red && colour.green() == green && colour.blue() == blue)
            colour.setRGB(static_cast<Adesk::UInt8>(255 - red), static_cast<Adesk::UInt8>(255 - green),
                          static_cast<Adesk::UInt8>(255 - blue));
    KELMO_CATCH(L"CAcadUtilities::checkBackgroundColour")
}

void CAcadUtilities::getInteger(CString prompt, int defaultValue, int& value) {
    KELMO_TRY
        value = defaultValue;
        CString text = L"\n" + prompt + L" <" + CUtilities::IntToCString(defaultValue) + L">:";
        int answer = 0;
        if (acedGetInt(text, &answer) == RTNORM) value = answer;
        acutPrintf(L" %i\n", value);
    KELMO_CATCH(L"CAcadUtilities::getInteger")
}

void CAcadUtilities::getDouble(CString prompt, double defaultValue, int decimals, double& value) {
    KELMO_TRY
        value = defaultValue;
        CString text = L"\n" + prompt + L" <" + CUtilities::DoubleToCString(defaultValue, decimals) + L">:";
        double answer = 0.0;
        if (acedGetReal(text, &answer) == RTNORM) value = answer;
        acutPrintf(L" %s\n", static_cast<LPCWSTR>(CUtilities::DoubleToCString(value, decimals)));
    KELMO_CATCH(L"CAcadUtilities::getDouble")
}

BOOL CAcadUtilities::getInteger(CString prompt, int defaultValue, int low, int high, int& value) {
    KELMO_TRY
        value = defaultValue;
        const CString text = L"\n" + prompt + L" <" + CUtilities::IntToCString(defaultValue) + L">:";
        const CString refusal = L"Requires an integer from " + CUtilities::IntToCString(low) + L" to " +
                                CUtilities::IntToCString(high) + L".";
        auto inside = [&](int number) { return number >= low && number <= high; };
        for (;;) {
            int answer = 0;
            const int status = acedGetInt(text, &answer);
            if (status != RTNORM && status != RTNONE && !inside(defaultValue)) return FALSE;
            const int taken = status == RTNORM ? answer : defaultValue;
            if (inside(taken)) {
                value = taken;
                break;
            }
            // A typed answer is refused; Enter only finds the default out of range.
            if (status == RTNORM)
                ed::refuseAnswer(static_cast<LPCWSTR>(refusal));
            else
                acutPrintf(L"\n%s", static_cast<LPCWSTR>(refusal));
        }
        acutPrintf(L" %i\n", value);
        return TRUE;
    KELMO_CATCH(L"CAcadUtilities::getInteger")
}

BOOL CAcadUtilities::getDouble(CString prompt, double defaultValue, int decimals, double low, double high,
                               BOOL lowExcluded, double& value) {
    KELMO_TRY
        value = defaultValue;
        const CString text = L"\n" + prompt + L" <" + CUtilities::DoubleToCString(defaultValue, decimals) + L">:";
        const CString lowest = CUtilities::DoubleToCString(low, 0);
        const CString highest = CUtilities::DoubleToCString(high, 0);
        const CString refusal = lowExcluded
                                    ? L"Requires a value above " + lowest + L" and no more than " + highest + L"."
                                    : L"Requires a value from " + lowest + L" to " + highest + L".";
        auto inside = [&](double number) { return (lowExcluded ? number > low : number >= low) && number <= high; };
        for (;;) {
            double answer = 0.0;
            const int status = acedGetReal(text, &answer);
            if (status != RTNORM && status != RTNONE && !inside(defaultValue)) return FALSE;
            const double taken = status == RTNORM ? answer : defaultValue;
            if (inside(taken)) {
                value = taken;
                break;
            }
            // A typed answer is refused; Enter only finds the default out of range.
            if (status == RTNORM)
                ed::refuseAnswer(static_cast<LPCWSTR>(refusal));
            else
                acutPrintf(L"\n%s", static_cast<LPCWSTR>(refusal));
        }
        acutPrintf(L" %s\n", static_cast<LPCWSTR>(CUtilities::DoubleToCString(value, decimals)));
        return TRUE;
    KELMO_CATCH(L"CAcadUtilities::getDouble")
}

void CAcadUtilities::getBoolean(CString prompt, BOOL defaultValue, BOOL& value) {
    KELMO_TRY
        value = defaultValue;
        CString text = L"\n" + prompt + L" <" + CUtilities::BoolToCString(defaultValue) + L">:";
        wchar_t answer[answerBufferSize] = {0};
        if (acedGetString(1, text, answer) == RTNORM && answer[0] != 0) value = CUtilities::CStringToBOOL(answer);
        acutPrintf(L" %s\n", static_cast<LPCWSTR>(CUtilities::BoolToCString(value)));
    KELMO_CATCH(L"CAcadUtilities::getBoolean")
}

BOOL CAcadUtilities::getString(CString prompt, CString defaultValue, CString& value) {
    KELMO_TRY
        CString question = prompt + L" <" + defaultValue + L">:";
        wchar_t answer[answerBufferSize] = {0};
        int status = acedGetString(1, L"\n" + question, answer);
        // A refused answer asks again; a cancel or the end of input ends the prompt.
        while (status != RTNORM && status != RTCAN) {
            answer[0] = 0;
            status = acedGetString(1, L"\nInvalid input! - " + question, answer);
        }
        BOOL answered = status == RTNORM;
        value = (answered && answer[0] != 0) ? CString(answer) : defaultValue;
        acutPrintf(L" %s\n", static_cast<LPCWSTR>(value));
        return answered;
    KELMO_CATCH(L"CAcadUtilities::getString")
}

CString CAcadUtilities::getString(CString prompt, BOOL* cancelled) {
    KELMO_TRY
        wchar_t answer[answerBufferSize] = {0};
        int status = acedGetString(1, L"\n" + prompt + L":", answer);
        while (status != RTNORM && status != RTCAN) {
            answer[0] = 0;
            status = acedGetString(1, L"\nInvalid input! - " + prompt, answer);
        }
        if (cancelled) *cancelled = status == RTCAN;
        return status == RTNORM ? CString(answer) : CString();
    KELMO_CATCH(L"CAcadUtilities::getString")
}

int CAcadUtilities::selectObjectIds(AcDbObjectIdArray& ids, CString prompt) {
    KELMO_TRY
        acutPrintf(L"\n%s", static_cast<LPCWSTR>(prompt));
        ads_name set = {0, 0};
        if (acedSSGet(nullptr, nullptr, nullptr, nullptr, set) != RTNORM) return 1;
        try {
            Adesk::Int32 length = 0;
            acedSSLength(set, &length);
            for (Adesk::Int32 i = 0; i < length; ++i) {
                ads_name member = {0, 0};
                if (acedSSName(set, i, member) != RTNORM) continue;
                AcDbObjectId id;
                if (acdbGetObjectId(id, member) != Acad::eOk) continue;
                AcDbEntity* entity = nullptr;
                if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
                CString className = entity->isA()->name();
                entity->close();
                // Space blocks and every other insert are picked otherwise.
                if (className != L"AcDbBlockReference") ids.append(id);
            }
        } catch (...) {
            acedSSFree(set);
            throw;
        }
        acedSSFree(set);
        return 1;
    KELMO_CATCH(L"CAcadUtilities::selectObjectIds")
}

int CAcadUtilities::selectObjectId(AcDbObjectId& id, CString prompt) {
    KELMO_TRY
        ads_name entity = {0, 0};
        ads_point point = {0, 0, 0};
        if (acedEntSel(prompt, entity, point) != RTNORM) return 0;
        acdbGetObjectId(id, entity);
        return 1;
    KELMO_CATCH(L"CAcadUtilities::selectObjectId")
}

int CAcadUtilities::selectObjectId(AcDbObjectId& id, CString prompt, CString className) {
    KELMO_TRY
        if (prompt.IsEmpty()) prompt = L"Please select an object";
        CString question = L"\n" + prompt + L"\n";
        for (;;) {
            ads_name entity = {0, 0};
            ads_point point = {0, 0, 0};
            if (acedEntSel(question, entity, point) != RTNORM) {
                acutPrintf(L"Cancelled by User.\n");
                return 16;
            }
            acdbGetObjectId(id, entity);
            AcDbEntity* picked = nullptr;
            if (acdbOpenAcDbEntity(picked, id, AcDb::kForRead) != Acad::eOk) continue;
            CString pickedClass = picked->isA()->name();
            const AcDbPolyline* polyline = AcDbPolyline::cast(picked);
            const bool tilted = polyline && !liesFlat(polyline);
            picked->close();
            if (pickedClass == className && !tilted) return 0;
            // A polyline with no plane of its own, or not the plan's, is refused for that, not for its kind.
            const bool notFlat = className == L"AcDbPolyline" &&
                                 (tilted || pickedClass == L"AcDb3dPolyline" || pickedClass == L"AcDbPolygonMesh" ||
                                  pickedClass == L"AcDbPolyFaceMesh");
            acutPrintf(
                notFlat ? L"Invalid selection - %s: the polyline does not lie flat.\n" : L"Invalid selection - %s.\n",
                static_cast<LPCWSTR>(pickedClass));
            ed::input().tellRefusal(notFlat ? std::wstring(L"the polyline does not lie flat")
                                            : L"it is no " + std::wstring(static_cast<LPCWSTR>(className)));
        }
    KELMO_CATCH(L"CAcadUtilities::selectObjectId")
}

BOOL CAcadUtilities::liesInModelSpace(AcDbObjectId id, const wchar_t* what) {
    KELMO_TRY
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) return TRUE;
        const AcDbObjectId space = entity->ownerId();
        const AcDbObjectId modelSpace = entity->database()->modelSpaceId();
        entity->close();
        if (space == modelSpace) return TRUE;
        kelmo::sayPickRefused(L"\nInvalid Selection - " + CString(what) + L" lies on layout " + layoutNameOf(space) +
                              L": blocks are made in model space\n\n");
        return FALSE;
    KELMO_CATCH(L"CAcadUtilities::liesInModelSpace")
}

CString CAcadUtilities::layoutNameOf(AcDbObjectId space) {
    AcDbBlockTableRecord* record = nullptr;
    if (space.isNull() || acdbOpenObject(record, space, AcDb::kForRead) != Acad::eOk) return CString();
    const AcDbObjectId layoutId = record->isLayout() ? record->getLayoutId() : AcDbObjectId();
    record->close();
    AcDbLayout* layout = nullptr;
    if (layoutId.isNull() || acdbOpenObject(layout, layoutId, AcDb::kForRead) != Acad::eOk) return CString();
    const CString name = layout->getLayoutName();
    layout->close();
    return name;
}

int CAcadUtilities::selectSpace(AcDbHandle& handle) {
    KELMO_TRY
        AcDbObjectId id;
        if (selectObjectId(id, L"\nPlease select a space\n", L"AcDbBlockReference") != 0) return 13;
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) return 13;
        handle = entity->handle();
        entity->close();
        return 0;
    KELMO_CATCH(L"CAcadUtilities::selectSpace")
}

AcGePoint3d CAcadUtilities::convertUCSToWCS(AcGePoint3d point) {
    KELMO_TRY
        return transformPoint(point, ucsCode, worldCode);
    KELMO_CATCH(L"CAcadUtilities::convertUCSToWCS")
}

AcGePoint3d CAcadUtilities::convertWCSToUCS(AcGePoint3d point) {
    KELMO_TRY
        return transformPoint(point, worldCode, ucsCode);
    KELMO_CATCH(L"CAcadUtilities::convertWCSToUCS")
}

int CAcadUtilities::userSelectKelmoBlock(AcApDocument* document, CBlockDWG* block) {
    KELMO_TRY
        for (;;) {
            ads_name picked = {0, 0};
            ads_point point = {0, 0, 0};
            if (acedEntSel(L"\nPlease select a Kelmo Space\n", picked, point) != RTNORM) {
                acutPrintf(L"Cancelled by User.\n");
                return 0;
            }
            AcDbObjectId id;
            acdbGetObjectId(id, picked);
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            if (CString(entity->isA()->name()) != L"AcDbBlockReference") {
                acutPrintf(L"Invalid selection.\n");
                entity->close();
                continue;
            }
            AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
            // Only a space block is read as one: an ordinary insert holds no space data.
            bool space = false;
            AcDbBlockTableRecord* definition = nullptr;
            if (reference && acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
                space = CString(definition->getName()).Left(5) == L"ROOM-";
                definition->close();
            }
            if (!space) {
                entity->close();
                return 0;
            }
            int result = 0;
            try {
                result = copySpaceBlock(reference, document, block);
            } catch (...) {
                entity->close();
                throw;
            }
            entity->close();
            return result;
        }
    KELMO_CATCH(L"CAcadUtilities::userSelectKelmoBlock")
}
