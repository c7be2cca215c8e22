#include "reports/LinkLine.h"

#include <cmath>

#include "core/Catch.h"
#include "core/HostCalls.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadDrawingState.h"
#include "drawing/Layer.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"LinkLine");

using kelmo_model::nodeName;
using kelmo_model::nodeText;
using kelmo_model::OpenedObject;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr const wchar_t* defaultLayer = L"_KELMO";
constexpr const wchar_t* linetypeName = L"T_E_S_T";
constexpr double labelHeight = 150.0;

} // namespace

double CLinkLine::labelAngle(const AcGePoint3d& start, const AcGePoint3d& end) {
    const double dx = end.x - start.x;
    const double dy = end.y - start.y;
    if (dx == 0.0 && dy == 0.0) return 0.0;
    double angle = std::atan2(dy, dx);
    // Folded so that the label reads left to right whichever end is the start.
    if (angle > kPi / 2) angle -= kPi;
    if (angle <= -kPi / 2) angle += kPi;
    return angle;
}

bool CLinkLine::applyToDrawing(CAcadDrawing* drawing, CAcadDrawingState* state) {
    KELMO_TRY
        AcDbDatabase* database = drawing->getDatabase();
        AcGePoint3d start;
        AcGePoint3d end;
        const bool startFound = getAssetCurrentCoord(drawing, m_startHandle, state, start);
        const bool endFound = startFound && getAssetCurrentCoord(drawing, m_endHandle, state, end);
        if (!startFound || !endFound) {
            // A line to nowhere would run to the origin.
            acutPrintf(L"\tlink line %s - %s skipped: no block reference with handle %s.\n",
                       static_cast<const wchar_t*>(m_startHandle), static_cast<const wchar_t*>(m_endHandle),
                       static_cast<const wchar_t*>(startFound ? m_endHandle : m_startHandle));
            return false;
        }
        if (m_layer.IsEmpty()) {
            m_layer = defaultLayer;
            state->setLayerState(m_layer, 0, 0, 0, 1);
        }
        CLayer::ensureLayerExists(m_layer, drawing);
        AcDbBlockTable* table = nullptr;
        if (database->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return false;
        AcDbBlockTableRecord* modelSpace = nullptr;
        const Acad::ErrorStatus status = table->getAt(ACDB_MODEL_SPACE, modelSpace, AcDb::kForWrite);
        table->close();
        if (status != Acad::eOk) return false;
        OpenedObject openedModelSpace(modelSpace);
        AcCmColor red;
        red.setRGB(255, 0, 0);
        createLine(start, end, red, m_text, labelHeight, 1, m_layer, modelSpace);
        return true;
    KELMO_CATCH(L"CLinkLine::applyToDrawing")
}

bool CLinkLine::getAssetCurrentCoord(CAcadDrawing* drawing, CString handle, CAcadDrawingState* state,
                                     AcGePoint3d& point) {
    KELMO_TRY
        AcDbObjectId id;
        if (handle.IsEmpty() || drawing->getDatabase()->getAcDbObjectId(
                                    id, false, AcDbHandle(static_cast<const wchar_t*>(handle))) != Acad::eOk)
            return false;
        AcDbBlockReference* reference = nullptr;
        if (acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) return false;
        point = reference->position();
        const CString layer = reference->layerName().c_str();
        reference->close();
        if (!layer.IsEmpty()) state->setLayerState(layer, 0, 0, 0, 1);
        return true;
    KELMO_CATCH(L"CLinkLine::getAssetCurrentCoord")
}

AcDbObjectId CLinkLine::createLine(AcGePoint3d start, AcGePoint3d end, AcCmColor colour, CString text,
                                   double textHeight, int align, CString layer, AcDbBlockTableRecord* modelSpace) {
    KELMO_TRY
        auto* line = new AcDbLine(start, end);
        line->setColor(colour);
        line->setLineWeight(AcDb::kLnWtByLayer);
        AcDbObjectId linetype;
        if (createLinetype(&linetype, modelSpace->database())) line->setLinetype(linetype);
        line->setLayer(layer);
        AcDbObjectId lineId;
        if (modelSpace->appendAcDbEntity(lineId, line) != Acad::eOk) {
            delete line;
            return lineId;
        }
        line->close();
        if (!text.IsEmpty()) {
            const AcGePoint3d middle(start.x + (end.x - start.x) / 2, start.y + (end.y - start.y) / 2,
                                     start.z + (end.z - start.z) / 2);
            const double rotation = align ? labelAngle(start, end) : 0.0;
            createText(middle, colour, textHeight, rotation, text, layer, modelSpace);
        }
        return lineId;
    KELMO_CATCH(L"CLinkLine::createLine")
}

AcDbObjectId CLinkLine::createText(AcGePoint3d position, AcCmColor colour, double height, double rotation, CString text,
                                   CString layer, AcDbBlockTableRecord* modelSpace) {
    KELMO_TRY
        AcDbDatabase* database = modelSpace->database();
        auto* label = new AcDbText();
        label->setDatabaseDefaults(database);
        AcGeMatrix3d ucs;
        acdbUcsMatrix(ucs, database);
        label->setNormal(ucs * AcGeVector3d::kZAxis);
        label->setHeight(height);
        label->setRotation(rotation);
        label->setWidthFactor(1.0);
        label->setHorizontalMode(AcDb::kTextCenter);
        label->setVerticalMode(AcDb::kTextBottom);
        label->setTextString(text);
        label->setColor(colour);
        label->setLayer(layer);
        AcDbObjectId id;
        if (modelSpace->appendAcDbEntity(id, label) != Acad::eOk) {
            delete label;
            return id;
        }
        label->setPosition(position);
        label->setAlignmentPoint(position);
        label->close();
        return id;
    KELMO_CATCH(L"CLinkLine::createText")
}

int CLinkLine::createLinetype(AcDbObjectId* linetypeId, AcDbDatabase* database) {
    KELMO_TRY
        AcDbLinetypeTable* table = nullptr;
        if (database->getLinetypeTable(table, AcDb::kForWrite) != Acad::eOk) return 0;
        OpenedObject openedTable(table);
        if (table->getAt(linetypeName, *linetypeId) == Acad::eOk) return 1;
        auto* record = new AcDbLinetypeTableRecord();
        record->setName(linetypeName);
        record->setPatternLength(1.0);
        record->setNumDashes(2);
        record->setDashLengthAt(0, 50.0);
        record->setDashLengthAt(1, -50.0);
        if (table->add(*linetypeId, record) != Acad::eOk) {
            delete record;
            return 0;
        }
        record->close();
        return 1;
    KELMO_CATCH(L"CLinkLine::createLinetype")
}

IXMLDOMNodePtr CLinkLine::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr node = xml.createNode(L"linkLine", namespaceURI);
        node->appendChild(xml.createNode(L"linkStartHandle", m_startHandle, namespaceURI));
        node->appendChild(xml.createNode(L"linkEndHandle", m_endHandle, namespaceURI));
        node->appendChild(xml.createNode(L"linkLineLayer", m_layer, namespaceURI));
        if (!m_text.IsEmpty()) node->appendChild(xml.createNode(L"linkLineText", m_text, namespaceURI));
        return node;
    KELMO_CATCH(L"CLinkLine::serialize")
}

void CLinkLine::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr || nodeName(node) != L"linkLine" || !node->hasChildNodes()) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            const CString name = nodeName(child);
            if (name == L"linkStartHandle")
                m_startHandle = nodeText(child);
            else if (name == L"linkEndHandle")
                m_endHandle = nodeText(child);
            else if (name == L"linkLineLayer")
                m_layer = nodeText(child);
            else if (name == L"linkLineText")
                m_text = nodeText(child);
        }
    KELMO_CATCH(L"CLinkLine::deSerialize")
}
