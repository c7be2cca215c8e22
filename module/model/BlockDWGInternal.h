#pragma once
// Shared by the files of the placed space block: the no-record mark, the UCS, handle text, making layers.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"

namespace kelmo_model::block_dwg {

inline constexpr const wchar_t* kNoXData = L"No X Data";

inline AcGeMatrix3d ucsMatrixOf(AcDbDatabase* database) {
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, database);
    return ucs;
}

inline CString handleText(const AcDbHandle& handle) {
    return CString(handle.text().c_str());
}

// Makes the layer when the drawing lacks it; the name the drawing holds it under, or empty when there
// is no such layer afterwards.
inline CString ensureLayer(CAcadDrawing* drawing, CString name, const AcCmColor* colour) {
    if (name.IsEmpty()) return CString();
    CString cleaned = CLayer::validateLayerName(name);
    int made = 0;
    if (colour) {
        CLayers layers;
        made = layers.ensureLayerExists(drawing, cleaned, *colour);
    } else {
        made = CLayer::ensureLayerExists(cleaned, drawing);
    }
    return made ? cleaned : CString();
}

} // namespace kelmo_model::block_dwg
