// Hatching a space to colour it, and hyperlinking its block and hatch.
#include "model/BlockDWG.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "core/KelmoExceptions.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/BlockDWGInternal.h"
#include "model/ColourHatches.h"
#include "model/Hatch.h"
#include "model/Hyperlinks.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"BlockDWG");

using kelmo_model::drawingName;
using kelmo_model::OpenedObject;
using kelmo_model::block_dwg::ensureLayer;
using kelmo_model::block_dwg::ucsMatrixOf;

namespace {

// Attributes are hyperlinked only on the hosts whose attributes show them.
bool hostHyperlinksAttributes() {
    int host = g_hostApplication.getHostType();
    return host == CHostApplication::hostAutoCAD || host == CHostApplication::hostAutoCADLT;
}

// A loop from a curve that lives nowhere in the drawing (a transformed copy of a boundary).
Acad::ErrorStatus appendCurveLoop(AcDbHatch* hatch, Adesk::Int32 loopType, const AcDbCurve* curve) {
    cadgeom::BulgePath path;
    AcGeVector3d normal;
    double elevation = 0.0;
    if (!curve || !curve->getPlanePath(path, normal, elevation)) return Acad::eInvalidInput;
    if (!normal.isParallelTo(hatch->normal())) return Acad::eNonPlanarEntity;
    if (path.vertices.size() < 2) return Acad::eDegenerateGeometry;
    bool closed = path.closed || path.vertices.front().pt.isEqualTo(path.vertices.back().pt);
    if (!closed) return Acad::eNotClosedPath;
    AcGeMatrix3d toHatch = AcGeMatrix3d::worldToPlane(hatch->normal()) * AcGeMatrix3d::planeToWorld(normal) *
                           AcGeMatrix3d::translation(AcGeVector3d(0, 0, elevation));
    bool flipped = normal.dotProduct(hatch->normal()) < 0;
    AcGePoint2dArray points;
    AcGeDoubleArray bulges;
    for (const cadgeom::BulgeVertex& vertex : path.vertices) {
        AcGePoint3d p = toHatch * AcGePoint3d(vertex.pt.x, vertex.pt.y, 0);
        points.append(AcGePoint2d(p.x, p.y));
        bulges.append(flipped ? -vertex.bulge : vertex.bulge);
    }
    return hatch->appendLoop(loopType, points, bulges);
}

// A loop from an area the space adds or subtracts: a lightweight polyline by its id, a 2D polyline (as
// every one of an R12 drawing is) by its lightweight form.
Acad::ErrorStatus appendAreaLoop(AcDbHatch* hatch, Adesk::Int32 loopType, AcDbObjectId id) {
    AcDbEntity* area = nullptr;
    if (acdbOpenAcDbEntity(area, id, AcDb::kForRead) != Acad::eOk) return Acad::eInvalidInput;
    OpenedObject opened(area);
    if (AcDbPolyline::cast(area)) {
        opened.close();
        AcDbObjectIdArray one;
        one.append(id);
        return hatch->appendLoop(loopType, one);
    }
    AcDbPolyline form;
    const AcDbPolyline* polyline = CAcadUtilities::asLightweight(area, form);
    return polyline ? appendCurveLoop(hatch, loopType, polyline) : Acad::eInvalidInput;
}

} // namespace

void CBlockDWG::hatchBlock(CAcadDrawing* drawing, AcDbEntity* reference, AcDbObjectId* hatchId,
                           CKelmoExceptions* warnings) {
    KELMO_TRY
        AcDbBlockReference* insert = AcDbBlockReference::cast(reference);
        if (!insert) return;
        AcDbObjectId boundary = findBoundary(insert);
        AcDbDatabase* database = drawing->getDatabase();
        AcDbObjectIdArray addIds;
        AcDbObjectIdArray subtractIds;
        convertHandlesToObjectIds(m_handlesToAdd, database, &addIds);
        convertHandlesToObjectIds(m_handlesToMinus, database, &subtractIds);
        hatchObject(drawing, reference, boundary, subtractIds, addIds, hatchId, warnings);
    KELMO_CATCH_ALSO(L"CBlockDWG::hatchBlock", kelmo::catchClassLib)
}

void CBlockDWG::hatchObject(CAcadDrawing* drawing, AcDbEntity* reference, AcDbObjectId boundary,
                            AcDbObjectIdArray subtractIds, AcDbObjectIdArray addIds, AcDbObjectId* hatchId,
                            CKelmoExceptions* warnings) {
    if (!m_hatch || !warnings) return;
    AcDbHatch* hatch = nullptr;
    AcDbEntity* outline = nullptr;
    try {
        const CString name = getName();
        const CString where = drawingName(drawing);
        AcDbBlockReference* insert = AcDbBlockReference::cast(reference);
        if (!insert) return;
        hatch = new AcDbHatch();
        hatch->setPatternAngle(static_cast<double>(m_hatch->getAngle()));
        hatch->setPatternScale(static_cast<double>(m_hatch->getScale()));
        hatch->setAssociative(false);
        Acad::ErrorStatus status = hatch->setPattern(AcDbHatch::kPreDefined, m_hatch->getPattern());
        if (status != Acad::eOk) {
            warnings->add(
                new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject", 0, where, nullptr));
            delete hatch;
            return;
        }
        AcCmColor colour = m_hatch->getColour();
        colour.setColorMethod(AcCm::kByColor);
        hatch->setColor(colour, true);
        hatch->setHatchStyle(AcDbHatch::kNormal);
        hatch->setNormal(ucsMatrixOf(drawing->getDatabase()) * AcGeVector3d::kZAxis);
        hatch->setElevation(0.0);
        // The hatch goes on the layer under the name the drawing could hold it by.
        CString layer = ensureLayer(drawing, m_hatch->getLayer(), &colour);
        if (!layer.IsEmpty()) hatch->setLayer(layer, true, false);
        // A hatch on a locked layer could be neither marked as this space's colour nor sent under the
        // plan, and one lying there cannot make way: the space keeps the colour it has, and says why.
        const CString earlier = kelmo_model::lockedColourHatchLayer(drawing, insert->objectId());
        const CString locked = earlier.IsEmpty() ? kelmo_model::lockedHatchLayer(drawing, layer) : earlier;
        if (!locked.IsEmpty()) {
            acutPrintf(earlier.IsEmpty() ? L"\nSpace %s not coloured: its hatch layer %s is locked\n"
                                         : L"\nSpace %s not coloured: its colour hatch lies on the locked layer %s\n",
                       static_cast<const wchar_t*>(name), static_cast<const wchar_t*>(locked));
            delete hatch;
            return;
        }

        // The outer loop comes from a copy of the boundary placed where the reference shows it: the
        // definition, which every reference of the block shares, is never moved. A 2D boundary is
        // copied in its lightweight form.
        status = Acad::eNullObjectId;
        AcDbEntity* source = nullptr;
        if (acdbOpenAcDbEntity(source, boundary, AcDb::kForRead) == Acad::eOk) {
            AcDbPolyline form;
            const AcDbPolyline* polyline = CAcadUtilities::asLightweight(source, form);
            status = polyline ? polyline->getTransformedCopy(insert->blockTransform(), outline) : Acad::eInvalidInput;
            source->close();
        }
        if (status == Acad::eOk) status = appendCurveLoop(hatch, AcDbHatch::kOutermost, AcDbCurve::cast(outline));
        delete outline;
        outline = nullptr;
        if (status != Acad::eOk) {
            delete hatch;
            hatch = nullptr;
            warnings->add(new CEXHatchPolylineNotClosed(name, CBlock::getHandle(), KELMO_BANNER, kelmoSourceFile,
                                                        L"CBlockDWG::hatchObject"));
            return;
        }
        for (const AcDbObjectId& id : addIds) {
            if (appendAreaLoop(hatch, AcDbHatch::kExternal, id) != Acad::eOk)
                warnings->add(
                    new CEXHatchAdditionalAreas(name, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        }
        for (const AcDbObjectId& id : subtractIds) {
            if (appendAreaLoop(hatch, AcDbHatch::kDefault, id) != Acad::eOk)
                warnings->add(new CEXHatchNoHatchAreas(name, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        }
        status = hatch->evaluateHatch(true);
        if (status == Acad::eHatchTooDense) {
            warnings->add(new CEXHatchTooDense(L"kelmo block " + name, m_hatch->getPattern(), m_hatch->getScale(),
                                               KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        } else if (status == Acad::eAmbiguousOutput) {
            warnings->add(new CEXHatchNotDenseEnough(L"kelmo block " + name, m_hatch->getPattern(), m_hatch->getScale(),
                                                     KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject"));
        } else if (status != Acad::eOk) {
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject", 3611,
                                           where, nullptr));
        }
        status = kelmo_model::postColourHatch(drawing, hatch, hatchId, insert->objectId(), insert->ownerId(), false);
        if (status != Acad::eOk)
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::hatchObject", 3626,
                                           where, nullptr));
    } catch (...) {
        delete outline;
        delete hatch;
        warnings->add(kelmo::wrapCurrent(kelmoSourceFile, L"CBlockDWG::hatchObject", kelmo::catchClassLib));
    }
}

void CBlockDWG::hyperlinkHatch(const AcDbObjectId* hatchId) {
    KELMO_TRY
        if (!hatchId) return;
        AcDbObject* object = nullptr;
        if (acdbOpenObject(object, *hatchId, AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(object);
        hyperlinkEntity(AcDbEntity::cast(object));
    KELMO_CATCH_ALSO(L"CBlockDWG::hyperlinkHatch", kelmo::catchClassLib)
}

void CBlockDWG::hyperlinkEntity(AcDbEntity* entity) {
    KELMO_TRY
        if (!entity) return;
        CHyperlinks none;
        (getHyperlinks() ? getHyperlinks() : &none)->applyToEntity(entity);
    KELMO_CATCH_ALSO(L"CBlockDWG::hyperlinkEntity", kelmo::catchClassLib)
}

void CBlockDWG::hyperlinkBlock(AcDbEntity* reference, int fromDefinition) {
    KELMO_TRY
        AcDbBlockReference* insert = AcDbBlockReference::cast(reference);
        if (fromDefinition == 0) {
            hyperlinkEntity(reference);
            if (!insert || !hostHyperlinksAttributes()) return;
        } else {
            if (!insert) return;
            AcDbBlockTableRecord* definition = nullptr;
            if (acdbOpenObject(definition, insert->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
                OpenedObject openedDefinition(definition);
                for (const AcDbObjectId& id : definition->entityIds()) {
                    AcDbEntity* member = nullptr;
                    if (acdbOpenAcDbEntity(member, id, AcDb::kForWrite) != Acad::eOk) continue;
                    OpenedObject openedMember(member);
                    hyperlinkEntity(member);
                }
            }
        }
        for (const AcDbObjectId& id : insert->attributeIds()) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, id, AcDb::kForWrite) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            hyperlinkEntity(attribute);
        }
    KELMO_CATCH_ALSO(L"CBlockDWG::hyperlinkBlock", kelmo::catchClassLib)
}
