#pragma once
// Small helpers the space-block model shares: closing what was opened and releasing the drawing's
// lock on every way out of a function, and reading XML node names and texts.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "core/KelmoExceptions.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "xml/MsXml.h"

namespace kelmo_model {

// Closes the object it holds when it goes out of scope, unless released first.
class OpenedObject {
public:
    explicit OpenedObject(AcDbObject* object = nullptr) : m_object(object) {}
    ~OpenedObject() { close(); }
    OpenedObject(const OpenedObject&) = delete;
    OpenedObject& operator=(const OpenedObject&) = delete;
    void reset(AcDbObject* object) {
        close();
        m_object = object;
    }
    void close() {
        if (m_object) m_object->close();
        m_object = nullptr;
    }
    AcDbObject* release() {
        AcDbObject* object = m_object;
        m_object = nullptr;
        return object;
    }

private:
    AcDbObject* m_object;
};

// Releases one level of the drawing's counted lock on every way out.
class HeldLock {
public:
    explicit HeldLock(CAcadDrawing* drawing) : m_drawing(drawing) {}
    ~HeldLock() {
        try {
            if (m_drawing) m_drawing->unlock(0);
        } catch (CEXKelmo* failure) {
            failure->deleteException();
        }
    }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    CAcadDrawing* m_drawing;
};

// Hands the hatch to the drawing, into the layout's block `space` (model space when null), which takes
// it whatever happens (posted and closed, or deleted), and sends it under everything else of that
// layout; the status of the posting.
inline Acad::ErrorStatus postUnderneath(CAcadDrawing* drawing, AcDbHatch*& hatch, AcDbObjectId* hatchId,
                                        AcDbObjectId space = AcDbObjectId()) {
    AcDbObjectId posted;
    AcDbHatch* handedOver = hatch;
    hatch = nullptr;
    const Acad::ErrorStatus status = drawing->postToDrawing(posted, handedOver, space);
    if (hatchId) *hatchId = posted;
    if (status != Acad::eOk) return status;
    // Posting closed the hatch: it is opened again by its id to go under everything else.
    AcDbEntity* placed = nullptr;
    if (acdbOpenAcDbEntity(placed, posted, AcDb::kForWrite) == Acad::eOk) {
        OpenedObject opened(placed);
        CAcadUtilities().moveToBottom(placed);
    }
    return status;
}

// The layer the entity lies on, as the drawing has it now; empty when it cannot be opened.
inline CString layerOf(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) return CString();
    OpenedObject opened(entity);
    return CString(entity->layerName().c_str());
}

// The layer's name when the drawing holds it locked; empty otherwise.
inline CString lockedLayerName(AcDbObjectId layerId) {
    AcDbLayerTableRecord* layer = nullptr;
    if (layerId.isNull() || acdbOpenObject(layer, layerId, AcDb::kForRead) != Acad::eOk) return CString();
    OpenedObject opened(layer);
    return layer->isLocked() ? CString(layer->getName()) : CString();
}

// The drawing's full name, as failures name it; empty without a drawing.
inline CString drawingName(CAcadDrawing* drawing) {
    return drawing ? drawing->getDrawingPath() + drawing->getDrawingFilename() : CString();
}

using kelmo_xml::nodeName;
using kelmo_xml::nodeText;
using kelmo_xml::valueText;

inline CString upper(CString text) {
    text.MakeUpper();
    return text;
}

} // namespace kelmo_model
