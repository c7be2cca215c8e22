// "msc_isc": turns the space labels of Torvex drawings into room blocks on the boundaries they
// name, puts the converted labels on a layer that is switched off, and switches "BOMA" on.
#include <memory>
#include <numbers>

#include "cad/AcEd.h"
#include "classlib/Afx.h"
#include "commands/Brenvik.h"
#include "commands/CommandFrame.h"
#include "commands/CommandSpaces.h"
#include "core/Catch.h"
#include "core/Failures.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/BlockDWGRoom.h"
#include "model/ModelSupport.h"
#include "model/SpaceName.h"

KELMO_SOURCE_FILE(L"Brenvik");

using kelmo_model::HeldLock;
using kelmo_model::OpenedObject;

namespace {

constexpr const wchar_t* labelBlock = L"TORVEX_SPACE_LABEL";
constexpr const wchar_t* labelLayer = L"TORVEX";
constexpr double degreesPerRadian = 180.0 / std::numbers::pi;

// What a label says: the space's name, its boundary's handle and how its name is written. A label
// without a "ROOM" attribute keeps these starting values.
struct LabelText {
    CString room;
    CString boundaryHandle;
    double height = 10.0;
    double widthFactor = 1.0;
    double rotation = 10.0 / degreesPerRadian; // radians
};

// Frees the selection set on every way out.
class HeldSelection {
public:
    HeldSelection() = default;
    ~HeldSelection() {
        if (m_held) acedSSFree(m_name);
    }
    HeldSelection(const HeldSelection&) = delete;
    HeldSelection& operator=(const HeldSelection&) = delete;
    ads_name& name() { return m_name; }
    void hold() { m_held = true; }

private:
    ads_name m_name = {0, 0};
    bool m_held = false;
};

int getTorvexBlockSS(ads_name selection) {
    KELMO_TRY
        resbuf* filter = acutBuildList(RTDXF0, L"INSERT", 2, labelBlock, 0);
        const int result = acedSSGet(L"X", nullptr, nullptr, filter, selection);
        acutRelRb(filter);
        return result;
    KELMO_CATCH_ALSO(L"getTorvexBlockSS", kelmo::catchClassLib)
}

void interrogateTorvexBlock(AcDbBlockReference* label, LabelText& text) {
    KELMO_TRY
        std::unique_ptr<AcDbObjectIterator> walk(label->attributeIterator());
        for (walk->start(); !walk->done(); walk->step()) {
            AcDbAttribute* attribute = nullptr;
            if (acdbOpenObject(attribute, walk->objectId(), AcDb::kForRead) != Acad::eOk) continue;
            OpenedObject opened(attribute);
            const CString tag = attribute->tagConst();
            if (tag == L"ROOM") {
                text.room = attribute->textStringConst() + text.room;
                text.height = attribute->height();
                text.widthFactor = attribute->widthFactor();
                text.rotation = attribute->rotation();
            } else if (tag == L"PLINE2_ID") {
                text.boundaryHandle = attribute->textStringConst() + text.boundaryHandle;
            }
        }
    KELMO_CATCH_ALSO(L"interrogateTorvexBlock", kelmo::catchClassLib)
}

// "ROOM-" and the first number from the counter on that no block definition of the drawing has.
CString nextFreeRoomName(CAcadDrawing* drawing, int& number) {
    AcDbBlockTable* table = nullptr;
    if (drawing->getDatabase()->getBlockTable(table, AcDb::kForRead) != Acad::eOk)
        return L"ROOM-" + CUtilities::IntToCString(number);
    OpenedObject opened(table);
    while (table->has(L"ROOM-" + CUtilities::IntToCString(number))) ++number;
    return L"ROOM-" + CUtilities::IntToCString(number);
}

// The block was made.
constexpr int created = 0;
// A failure already shown in the error box.
constexpr int failureShown = -1;

// The host's status of making the room block, created, or failureShown. The boundary is brought
// into the world system first, and goes back when no block was made.
int createTorvexBlock(CAcadDrawing* drawing, const AcGePoint3d& insertionPoint, AcDbObjectId boundaryId, int units,
                      int precision, double textHeight, double widthFactor, double rotationDegrees,
                      const CString& blockName, const CString& roomName) {
    try {
        AcDbEntity* boundary = nullptr;
        Acad::ErrorStatus status = acdbOpenAcDbEntity(boundary, boundaryId, AcDb::kForWrite);
        if (status != Acad::eOk) return status;
        OpenedObject opened(boundary);
        AcDbPolyline* polyline = AcDbPolyline::cast(boundary);
        if (CString(boundary->isA()->name()) != L"AcDbPolyline" || polyline == nullptr)
            return Acad::eNotThatKindOfClass;
        AcDbDatabase* database = drawing->getDatabase();
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, database);
        const AcDbObjectId owner = polyline->ownerId();
        polyline->transformBy(ucs.inverse());

        CAcadUtilities utilities;
        const double area = utilities.calculatePolylineArea(polyline, CDrawingUnit(database), units);
        const double perimeter = utilities.calculatePolylinePerimeter(polyline, CDrawingUnit(database), units);
        std::unique_ptr<CBlockDWGRoom> block = std::make_unique<CBlockDWGRoom>();
        block->setUnits(units);
        block->setPrecision(precision);
        block->setName(roomName);
        block->setArea(area);
        block->setPerimeter(perimeter);
        block->setBlockIdentifier(blockName);
        block->setAttributes(kelmo::newSpaceAttributes(roomName, CUtilities::DoubleToCString(area, precision), units));

        try {
            status = block->createBlock(drawing, polyline, &insertionPoint, textHeight, widthFactor, rotationDegrees);
        } catch (...) {
            if (polyline->ownerId() == owner) polyline->transformBy(ucs);
            throw;
        }
        if (status != Acad::eOk && polyline->ownerId() == owner) polyline->transformBy(ucs);
        return status;
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"createTorvexBlock", kelmo::catchClassLib);
        return failureShown;
    }
}

AcDbObjectId modelSpaceOf(AcDbDatabase* database) {
    AcDbObjectId id;
    AcDbBlockTable* table = nullptr;
    if (database->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return id;
    OpenedObject opened(table);
    table->getAt(ACDB_MODEL_SPACE, id);
    return id;
}

// The boundary a label names, marked closed for the new block; the flag as it was comes back when
// no block was made. Only a polyline of model space qualifies: one already inside a block belongs
// to that block. What keeps a boundary from qualifying is said as the reason.
class LabelBoundary {
public:
    LabelBoundary(CAcadDrawing* drawing, AcDbObjectId id, const CString& handle) : m_id(id) {
        AcDbPolyline* polyline = nullptr;
        const Acad::ErrorStatus status =
            m_id.isNull() ? Acad::eNullObjectId : acdbOpenObject(polyline, m_id, AcDb::kForWrite);
        m_refusal = L"No Polyline " + handle + L" in Model Space";
        if (status == Acad::eOnLockedLayer) {
            m_refusal = L"Polyline " + handle + L" On Locked Layer " + kelmo_model::layerOf(m_id);
            return;
        }
        if (status != Acad::eOk) return;
        OpenedObject opened(polyline);
        if (polyline->ownerId() != modelSpaceOf(drawing->getDatabase())) {
            // Its own label or another made a room of it before.
            const CString room = roomHolding(polyline->ownerId());
            if (!room.IsEmpty()) m_refusal = L"Polyline " + handle + L" Already Converted to " + room;
            return;
        }
        m_wasClosed = polyline->isClosed();
        polyline->setClosed(true);
        m_found = true;
    }
    bool found() const { return m_found; }
    // Why the label has no boundary to convert.
    const CString& refusal() const { return m_refusal; }
    AcDbObjectId id() const { return m_id; }
    void restore() {
        AcDbPolyline* polyline = nullptr;
        if (m_wasClosed || acdbOpenObject(polyline, m_id, AcDb::kForWrite) != Acad::eOk) return;
        polyline->setClosed(false);
        polyline->close();
    }

private:
    // The name of the room block whose definition holds the entity, or nothing.
    static CString roomHolding(AcDbObjectId owner) {
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, owner, AcDb::kForRead) != Acad::eOk) return CString();
        const CString name = definition->getName();
        definition->close();
        return name.Left(5) == L"ROOM-" ? name : CString();
    }

    AcDbObjectId m_id;
    CString m_refusal;
    bool m_found = false;
    bool m_wasClosed = false;
};

// The lobes of a boundary that crosses itself offset each other's area: no room is made on one.
bool crossesItself(AcDbObjectId boundaryId) {
    AcDbPolyline* polyline = nullptr;
    if (acdbOpenObject(polyline, boundaryId, AcDb::kForRead) != Acad::eOk) return false;
    OpenedObject opened(polyline);
    return CAcadUtilities().crossesItself(polyline, CDrawingUnit(polyline->database())) != FALSE;
}

bool liesFlat(AcDbObjectId boundaryId) {
    AcDbPolyline* polyline = nullptr;
    if (acdbOpenObject(polyline, boundaryId, AcDb::kForRead) != Acad::eOk) return true;
    OpenedObject opened(polyline);
    return CAcadUtilities::liesFlat(polyline) != FALSE;
}

void reportNotConverted(AcDbBlockReference* label, const LabelText& text, const CString& reason) {
    kelmo::sayFailed(L"Torvex Label " + CString(label->objectId().handle().text().c_str()) + L" (" + text.room +
                     L") Not Converted - " + reason + L"\n");
}

// Makes the room block of one label and moves the label onto the switched-off layer; a label whose
// block was not made stays as it is and is named on the command line.
void convertLabel(CAcadDrawing* drawing, AcDbObjectId labelId, const CPreferences& preferences, int& nextNumber) {
    AcDbBlockReference* label = nullptr;
    const Acad::ErrorStatus status = acdbOpenObject(label, labelId, AcDb::kForWrite);
    if (status == Acad::eOnLockedLayer && acdbOpenObject(label, labelId, AcDb::kForRead) == Acad::eOk) {
        OpenedObject opened(label);
        LabelText text;
        interrogateTorvexBlock(label, text);
        reportNotConverted(label, text, L"Label On Locked Layer " + CString(label->layerName().c_str()));
        return;
    }
    if (status != Acad::eOk) return;
    OpenedObject opened(label);
    const AcGePoint3d insertionPoint = CAcadUtilities().convertWCSToUCS(label->position());
    LabelText text;
    interrogateTorvexBlock(label, text);

    const CString tooLong = kelmo_model::nameTooLong(text.room);
    if (!tooLong.IsEmpty()) {
        reportNotConverted(label, text, tooLong);
        return;
    }
    LabelBoundary boundary(drawing, CAcadUtilities().convertHandleToObjectId(text.boundaryHandle), text.boundaryHandle);
    if (!boundary.found()) {
        reportNotConverted(label, text, boundary.refusal());
        return;
    }
    if (crossesItself(boundary.id())) {
        boundary.restore();
        reportNotConverted(label, text, L"Polyline " + text.boundaryHandle + L" Crosses Itself");
        return;
    }
    if (!liesFlat(boundary.id())) {
        boundary.restore();
        reportNotConverted(label, text, L"Polyline " + text.boundaryHandle + L" Does Not Lie Flat");
        return;
    }
    const CString blockName = nextFreeRoomName(drawing, nextNumber);
    const int made =
        createTorvexBlock(drawing, insertionPoint, boundary.id(), preferences.getUnits(), preferences.getPrecision(),
                          text.height, text.widthFactor, text.rotation * degreesPerRadian, blockName, text.room);
    if (made == created) {
        ++nextNumber;
        label->setLayer(labelLayer, true);
        return;
    }
    boundary.restore();
    reportNotConverted(
        label, text,
        made == failureShown ? CString(L"Error Detected") : L"Error Code " + CUtilities::IntToCString(made));
}

} // namespace

void kelmoTorvexConversion() {
    KELMO_TRY
        kelmo::CommandResources resources;
        std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
        std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
        drawing->zoomExtents();
        if (drawing->lock() != Acad::eOk) return;
        HeldLock held(drawing.get());

        CLayers layers;
        AcCmColor white;
        white.setRGB(255, 255, 255);
        layers.ensureLayerExists(drawing.get(), labelLayer, white);
        layers.getDWGLayers(drawing.get());
        if (CLayer* torvex = layers.getAtLayer(labelLayer)) {
            torvex->setOff(1);
            torvex->applyToDWG(drawing.get());
        }
        if (CLayer* boma = layers.getAtLayer(L"BOMA")) {
            boma->setFrozen(0);
            boma->setOff(0);
            boma->applyToDWG(drawing.get());
        }

        HeldSelection selection;
        if (getTorvexBlockSS(selection.name()) != RTNORM) return;
        selection.hold();
        Adesk::Int32 length = 0;
        if (acedSSLength(selection.name(), &length) != RTNORM) return;
        int nextNumber = 0;
        for (Adesk::Int32 i = 0; i < length; ++i) {
            ads_name member = {0, 0};
            AcDbObjectId labelId;
            if (acedSSName(selection.name(), i, member) != RTNORM || acdbGetObjectId(labelId, member) != Acad::eOk)
                continue;
            convertLabel(drawing.get(), labelId, *preferences, nextNumber);
        }
    KELMO_CATCH_REPORT(L"kelmoTorvexConversion", kelmo::catchClassLib)
}
