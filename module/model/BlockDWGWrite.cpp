// Writing a space back to its block: record, attributes, hatch, hyperlinks, assets, zoom and highlights.
#include "model/BlockDWG.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWGInternal.h"
#include "model/ColourHatches.h"
#include "model/ModelSupport.h"
#include "model/SpaceName.h"
#include "core/Failures.h"

KELMO_SOURCE_FILE(L"BlockDWG");

using kelmo_model::drawingName;
using kelmo_model::HeldLock;
using kelmo_model::layerOf;
using kelmo_model::OpenedObject;
using kelmo_model::block_dwg::ucsMatrixOf;

namespace {

// The space's name as the drawing shows it now, read as a gathered block reads it: a block renamed in
// memory but not written back still bears its old name there.
CString nameInDrawing(AcDbObjectId id, AcApDocument* document, const CString& fallback) {
    AcDbBlockReference* reference = nullptr;
    if (acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) return fallback;
    OpenedObject opened(reference);
    return CBlockDWG(reference, document).getName();
}

// A name as a line of the command line shows it: a long one by its beginning.
CString shortened(const CString& name) {
    constexpr int shown = 40;
    return name.GetLength() <= shown ? name : name.Left(shown) + L"...";
}

} // namespace

void CBlockDWG::reportLockedReference(AcApDocument* document) {
    kelmo::sayFailed(L"\nSpace " + nameInDrawing(m_objectId, document, getName()) +
                     L" not updated: it lies on the locked layer " + layerOf(m_objectId) + L"\n");
}

bool CBlockDWG::labelsWritable(AcDbEntity* reference, const AcGeMatrix3d& ucs, const AcGePoint3d* anchor,
                               AcApDocument* document) {
    if (!m_attributes || m_attributes->getCount() == 0) return true;
    CString tag;
    CString layer;
    if (!m_attributes->findLockedChange(reference, ucs, anchor, tag, layer)) return true;
    // The space stays whole: a record naming what its label does not show would mislead.
    kelmo::sayFailed(L"\nSpace " + nameInDrawing(m_objectId, document, getName()) + L" not updated: its " + tag +
                     L" label lies on the locked layer " + layer + L"\n");
    return false;
}

bool CBlockDWG::applyToDWG(CAcadDrawing* drawing, CKelmoExceptions* warnings) {
    KELMO_TRY
        Acad::ErrorStatus status = drawing->lock();
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::applyToDWG", 751,
                                   drawingName(drawing), nullptr);
        HeldLock held(drawing);
        CKelmoExceptions ownWarnings;
        if (!warnings) warnings = &ownWarnings;
        AcDbEntity* reference = nullptr;
        status = acdbOpenAcDbEntity(reference, m_objectId, AcDb::kForWrite);
        if (status == Acad::eOnLockedLayer) {
            // Locked layers are common in plans: the space is left as it is, said once on the command
            // line, and the work goes on with the next block.
            reportLockedReference(drawing->getDocument());
            return false;
        }
        if (status != Acad::eOk) {
            // Nothing was written: the caller hears of it.
            warnings->add(new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::applyToDWG", 0,
                                           drawingName(drawing), nullptr));
            return false;
        }
        OpenedObject opened(reference);
        // A string the drawing cannot hold leaves the whole space as it is, rather than half written.
        if (AcDbBlockReference* blockReference = AcDbBlockReference::cast(reference)) {
            const CString notFitting = whatDoesNotFit(blockReference);
            if (!notFitting.IsEmpty()) {
                CString line;
                line.Format(L"\nSpace %s (handle %s) not updated: %s, more than the %d a drawing holds in one string\n",
                            static_cast<const wchar_t*>(shortened(getName())),
                            static_cast<const wchar_t*>(CBlock::getHandle()), static_cast<const wchar_t*>(notFitting),
                            kelmo_model::storedStringLimit);
                kelmo::sayFailed(line);
                return false;
            }
        }
        const AcGeMatrix3d ucs = ucsMatrixOf(drawing->getDatabase());
        if (!labelsWritable(reference, ucs, nullptr, drawing->getDocument())) return false;
        updateBlockIdentifier(reference);
        writeXData(reference);
        if (m_attributes && m_attributes->getCount() > 0) m_attributes->applyToDWG(reference, ucs, nullptr);
        if (m_hatch) {
            AcDbObjectId hatchId;
            hatchBlock(drawing, reference, &hatchId, warnings);
            if (getHyperlinks()) hyperlinkHatch(&hatchId);
        }
        if (getHyperlinks()) hyperlinkBlock(reference, 0);
        if (m_zoomOnApply != 0) zoomToBlock(drawing, reference);
        if (m_assets) {
            m_assets->applyToDWG(drawing, warnings);
            kelmo_model::keepAssetHatchesOnTop(drawing);
        }
        return true;
    KELMO_CATCH(L"CBlockDWG::applyToDWG")
}

void CBlockDWG::updateBlockIdentifier(AcDbEntity* entity) {
    KELMO_TRY
        AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
        if (!reference) return;
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForWrite) != Acad::eOk) return;
        OpenedObject opened(definition);
        definition->setName(m_blockIdentifier);
    KELMO_CATCH(L"CBlockDWG::updateBlockIdentifier")
}

bool CBlockDWG::updateAttributes(const AcGeMatrix3d& ucs, const AcGePoint3d* anchor) {
    KELMO_TRY
        if (!m_attributes) return true;
        AcDbEntity* reference = nullptr;
        const Acad::ErrorStatus status = acdbOpenAcDbEntity(reference, m_objectId, AcDb::kForWrite);
        if (status == Acad::eOnLockedLayer) {
            reportLockedReference(nullptr);
            return false;
        }
        if (status != Acad::eOk) return false;
        OpenedObject opened(reference);
        if (!labelsWritable(reference, ucs, anchor, nullptr)) return false;
        m_attributes->applyToDWG(reference, AcGeMatrix3d(ucs), anchor);
        return true;
    KELMO_CATCH(L"CBlockDWG::updateAttributes")
}

void CBlockDWG::zoomToBlock(CAcadDrawing* drawing, AcDbEntity* entity) {
    KELMO_TRY
        AcGePoint3d minimum;
        AcGePoint3d maximum;
        // A block without a boundary has nothing to zoom to.
        if (!CAcadUtilities().getBlockExtents(entity, minimum, maximum, m_zoomMargin)) return;
        drawing->zoomWindow(minimum, maximum);
    KELMO_CATCH(L"CBlockDWG::zoomToBlock")
}

void CBlockDWG::highlightAreas(HandleArray& handles, CAcadDrawing* drawing, int highlight, int printCount,
                               bool subtracted) {
    if (drawing->lock() != Acad::eOk) return;
    HeldLock held(drawing);
    if (printCount != 0) {
        acutPrintf(subtracted ? L"\nThere are %i area(s) subtracted from this block\n"
                              : L"\nThere are %i area(s) added to this block\n",
                   static_cast<int>(handles.GetSize()));
    }
    AcDbDatabase* database = drawing->getDatabase();
    INT_PTR i = 0;
    while (database && i < handles.GetSize()) {
        AcDbObjectId id;
        Acad::ErrorStatus status = database->getAcDbObjectId(id, false, handles[i]);
        if (status == Acad::eOk && id.isErased()) status = Acad::eUnknownHandle;
        if (status == Acad::eUnknownHandle) {
            handles.RemoveAt(i);
            continue;
        }
        ++i;
        if (status != Acad::eOk) continue;
        AcDbEntity* entity = nullptr;
        if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) continue;
        OpenedObject opened(entity);
        if (highlight != 0) {
            entity->setColorIndex(1, false);
            entity->setLineWeight(AcDb::kLnWt100, true);
        } else {
            entity->setColorIndex(static_cast<Adesk::UInt16>(m_colorIndex), false);
            entity->setLineWeight(static_cast<AcDb::LineWeight>(m_lineWeight), true);
        }
        opened.release();
        status = entity->close();
        if (subtracted && status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CBlockDWG::highlightAreasSubtracted", 1620,
                                   drawingName(drawing), nullptr);
    }
    drawing->regenDrawing();
}

void CBlockDWG::highlightAreasSubtracted(CAcadDrawing* drawing, int highlight, int printCount) {
    KELMO_TRY
        highlightAreas(m_handlesToMinus, drawing, highlight, printCount, true);
    KELMO_CATCH(L"CBlockDWG::highlightAreasSubtracted")
}

void CBlockDWG::highlightAreasAdded(CAcadDrawing* drawing, int highlight, int printCount) {
    KELMO_TRY
        highlightAreas(m_handlesToAdd, drawing, highlight, printCount, false);
    KELMO_CATCH(L"CBlockDWG::highlightAreasAdded")
}
