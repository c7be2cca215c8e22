#include "drawing/Layer.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/XMLUtilities.h"
#include "database/EXStoredProcedure.h"
#include "database/ParameterTinyInt.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"
#include "drawing/AcadDrawing.h"
#include "drawing/RegisterCall.h"

KELMO_SOURCE_FILE(L"Layer.cpp");

CLayer::CLayer() {
    KELMO_TRY
        setName(L"");
        setDescription(L"");
        setColourIndex(0);
        setFrozen(0);
        setLocked(0);
        setOff(0);
        setPlottable(1);
        setLineWeight(0);
        // A layer nobody set anything on is never written to a drawing.
        m_modified = 0;
    KELMO_CATCH(L"CLayer::CLayer")
}

CLayer::CLayer(AcDbLayerTableRecord* record)
    : m_colourIndex(0), m_frozen(0), m_locked(0), m_off(0), m_plottable(0), m_lineWeight(0), m_modified(0) {
    KELMO_TRY
        getDWGLayer(record);
    KELMO_CATCH(L"CLayer::CLayer")
}

CLayer::~CLayer() = default;

void CLayer::setName(CString name) {
    KELMO_TRY
        m_name = validateLayerName(name);
        m_modified = 1;
    KELMO_CATCH(L"CLayer::setName")
}

void CLayer::setDescription(CString description) {
    m_description = description;
    m_modified = 1;
}

void CLayer::setColourIndex(int index) {
    KELMO_TRY
        m_colourIndex = index;
        m_colour.setColorIndex(static_cast<Adesk::UInt16>(index));
        m_modified = 1;
    KELMO_CATCH(L"CLayer::setColourIndex")
}

void CLayer::setFrozen(int frozen) {
    m_frozen = frozen;
    m_modified = 1;
}

void CLayer::setLocked(int locked) {
    m_locked = locked;
    m_modified = 1;
}

void CLayer::setOff(int off) {
    m_off = off;
    m_modified = 1;
}

void CLayer::setPlottable(int plottable) {
    m_plottable = plottable;
    m_modified = 1;
}

void CLayer::setLineWeight(int lineWeight) {
    m_lineWeight = lineWeight;
    m_modified = 1;
}

CString CLayer::validateLayerName(CString name) {
    KELMO_TRY
        static const wchar_t* const invalid = L"<>/\\\";?*,=`";
        CString cleaned;
        for (int i = 0; i < name.GetLength(); ++i) {
            wchar_t c = name.GetAt(i);
            if (!wcschr(invalid, c)) cleaned += c;
        }
        return cleaned;
    KELMO_CATCH(L"CLayer::validateLayerName")
}

void CLayer::getDWGLayer(AcDbLayerTableRecord* record) {
    KELMO_TRY
        m_objectId = record->objectId();
        CString name = record->getName();
        name.MakeUpper();
        setName(name);
        setColourIndex(record->color().colorIndex());
        setFrozen(record->isFrozen() ? 1 : 0);
        setLocked(record->isLocked() ? 1 : 0);
        setOff(record->isOff() ? 1 : 0);
        setPlottable(record->isPlottable() ? 1 : 0);
        setLineWeight(static_cast<int>(record->lineWeight()));
    KELMO_CATCH_ALSO(L"CLayer::getDWGLayer", kelmo::catchClassLib)
}

int CLayer::getDWGLayer(CAcadDrawing* drawing, CString name) {
    KELMO_TRY
        if (drawing->lock() != Acad::eOk) return 0;
        int result = 0;
        AcDbLayerTable* table = nullptr;
        if (drawing->getDatabase()->getLayerTable(table, AcDb::kForRead) == Acad::eOk) {
            AcDbLayerTableRecord* record = nullptr;
            if (table->has(name) && table->getAt(name, record, AcDb::kForRead) == Acad::eOk) {
                result = 1;
                getDWGLayer(record);
                record->close();
            }
            table->close();
        }
        drawing->unlock(0);
        return result;
    KELMO_CATCH_ALSO(L"CLayer::getDWGLayer", kelmo::catchClassLib)
}

void CLayer::writeState(AcDbLayerTableRecord* record) {
    record->setIsFrozen(m_frozen != 0);
    record->setIsLocked(m_locked != 0);
    record->setIsOff(m_off != 0);
    record->setIsPlottable(m_plottable != 0);
    record->setLineWeight(static_cast<AcDb::LineWeight>(m_lineWeight));
}

void CLayer::applyToDWG(CAcadDrawing* drawing) {
    KELMO_TRY
        if (m_modified == 0) return;
        if (drawing->lock() != Acad::eOk) return;
        AcDbLayerTable* table = nullptr;
        if (drawing->getDatabase()->getLayerTable(table, AcDb::kForWrite) == Acad::eOk) {
            if (table->has(m_name)) {
                AcDbLayerTableRecord* record = nullptr;
                if (table->getAt(m_name, record, AcDb::kForWrite) == Acad::eOk) {
                    if (m_objectId.isNull()) m_objectId = record->objectId();
                    // Colour, name and description of an existing layer stay as the drawing has them.
                    writeState(record);
                    record->close();
                }
            } else {
                AcDbLayerTableRecord* record = new AcDbLayerTableRecord();
                record->setName(m_name);
                record->setColor(m_colour);
                writeState(record);
                AcDbObjectId id;
                if (table->add(id, record) == Acad::eOk) {
                    m_objectId = id;
                    record->close();
                } else {
                    delete record; // refused (an empty name, say): it is nobody's
                }
            }
            table->close();
        }
        drawing->unlock(0);
    KELMO_CATCH_ALSO(L"CLayer::applyToDWG", kelmo::catchClassLib)
}

int CLayer::ensureLayerExists(CString name, CAcadDrawing* drawing) {
    KELMO_TRY
        if (drawing->lock() != Acad::eOk) return 0;
        int result = 0;
        try {
            result = addMissingLayer(drawing->getDatabase(), name, nullptr);
        } catch (...) {
            drawing->unlock(0);
            throw;
        }
        drawing->unlock(0);
        return result;
    KELMO_CATCH_ALSO(L"CLayer::ensureLayerExists", kelmo::catchClassLib)
}

int CLayer::addMissingLayer(AcDbDatabase* database, CString name, const AcCmColor* colour) {
    KELMO_TRY
        AcDbLayerTable* table = nullptr;
        if (database->getLayerTable(table, AcDb::kForWrite) != Acad::eOk) return 0;
        int result = 1;
        CString cleaned = validateLayerName(name);
        if (!table->has(cleaned)) {
            AcDbLayerTableRecord* record = new AcDbLayerTableRecord();
            record->setName(cleaned);
            if (colour) record->setColor(*colour);
            if (table->add(record) == Acad::eOk) {
                record->close();
            } else {
                delete record; // refused: it is nobody's
                result = 0;
            }
        }
        table->close();
        return result;
    KELMO_CATCH(L"CLayer::addMissingLayer")
}

IXMLDOMNodePtr CLayer::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"layerOn", namespaceURI);
        element->appendChild(xml.createNode(L"loName", m_name, namespaceURI));
        if (!m_description.IsEmpty())
            element->appendChild(xml.createNode(L"loDescription", m_description, namespaceURI));
        return element;
    KELMO_CATCH(L"CLayer::serialize")
}

void CLayer::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr) return;
        if (kelmo_xml::nodeName(node) != L"layerOn" || !node->hasChildNodes()) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            const CString childName = kelmo_xml::nodeName(child);
            // Stored as they stand, but for the blanks around a name: a layer read from a file changes
            // nothing until a setter marks it.
            if (childName == L"loName") {
                m_name = kelmo_xml::valueText(child);
            } else if (childName == L"loDescription") {
                m_description = static_cast<const wchar_t*>(child->Gettext());
            }
        }
    KELMO_CATCH(L"CLayer::deSerialize")
}

void CLayer::addLayerToVXR(CStoredProcedure* procedure, int timeout, int attachID) {
    const wchar_t* method = L"CLayer::addLayerToVXR";
    KELMO_TRY
        try {
            CParameters parameters;
            parameters.add(registercall::textInput(L"@layerName", m_name));
            // The register keeps no description of a drawing's layers.
            parameters.add(registercall::textInput(L"@layerDescription", L""));
            CParameterTinyInt* colour = new CParameterTinyInt();
            colour->setName(L"@layerColour");
            colour->setDirection(1);
            colour->setValue(static_cast<unsigned char>(m_colourIndex));
            parameters.add(colour);
            parameters.add(registercall::intInput(L"@attachID", attachID));
            registercall::execute(procedure, L"__to_addDrawingLayer", parameters, timeout);
        } catch (const _com_error& error) {
            throw new CEXStoredProcedure(error, procedure, KELMO_BANNER, kelmoSourceFile, method, 2);
        }
    KELMO_CATCH_ALSO(method, kelmo::catchClassLib)
}
