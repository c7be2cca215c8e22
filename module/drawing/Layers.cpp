#include "drawing/Layers.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/XMLUtilities.h"
#include "database/EXStoredProcedure.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layer.h"
#include "drawing/NamedList.h"
#include "drawing/RegisterCall.h"

KELMO_SOURCE_FILE(L"Layers.cpp");

namespace {

// Layers the module's own blocks and links live on: never switched off or frozen wholesale.
bool isKelmoLayer(const CString& name) {
    return name == L"##HYPERLINKS" || name == L"##HATCH" || name == L"ATT-NAME" || name == L"ATT-AREA" ||
           name == L"ATT-AUX";
}

// Shows the visitor each layer record of the drawing in table order, open for read. The record,
// the walk and the table are closed again however the visit ends; a table or record that
// cannot be opened is passed over quietly.
template <class Visit>
void forEachLayerRecord(AcDbDatabase* database, Visit visit) {
    AcDbLayerTable* table = nullptr;
    if (database->getLayerTable(table, AcDb::kForRead) != Acad::eOk) return;
    AcDbLayerTableIterator* iterator = nullptr;
    try {
        if (table->newIterator(iterator) == Acad::eOk) {
            for (iterator->start(); !iterator->done(); iterator->step()) {
                AcDbLayerTableRecord* record = nullptr;
                if (iterator->getRecord(record, AcDb::kForRead) != Acad::eOk) continue;
                try {
                    visit(record);
                } catch (...) {
                    record->close();
                    throw;
                }
                record->close();
            }
        }
    } catch (...) {
        delete iterator;
        table->close();
        throw;
    }
    delete iterator;
    table->close();
}

} // namespace

CLayers::CLayers() : m_count(0) {}

CLayers::~CLayers() {
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CLayers::~CLayers");
    }
}

CLayer* CLayers::getAt(int index) {
    KELMO_TRY
        return namedlist::at(m_layers, index);
    KELMO_CATCH_ALSO(L"CLayers::getAt", kelmo::catchClassLib)
}

CLayer* CLayers::getAtLayer(CString name) {
    KELMO_TRY
        CString wanted = name;
        wanted.MakeUpper();
        for (int i = 0; i < m_layers.GetSize(); ++i) {
            CString held = m_layers.GetAt(i)->getName();
            held.MakeUpper();
            if (held == wanted) return m_layers.GetAt(i);
        }
        return nullptr;
    KELMO_CATCH(L"CLayers::getAtLayer")
}

BOOL CLayers::add(CLayer* layer) {
    KELMO_TRY
        if (!namedlist::addUnique(m_layers, layer)) return FALSE;
        ++m_count;
        return TRUE;
    KELMO_CATCH(L"CLayers::add")
}

void CLayers::addOrDelete(CLayer* layer) {
    KELMO_TRY
        namedlist::addOrDelete(*this, layer);
    KELMO_CATCH(L"CLayers::addOrDelete")
}

void CLayers::setAllLayersOff(int off) {
    KELMO_TRY
        for (int i = 0; i < m_layers.GetSize(); ++i)
            if (!isKelmoLayer(m_layers.GetAt(i)->getName())) m_layers.GetAt(i)->setOff(off);
    KELMO_CATCH(L"CLayers::setAllLayersOff")
}

void CLayers::setAllLayersFrozen(int frozen) {
    KELMO_TRY
        for (int i = 0; i < m_layers.GetSize(); ++i)
            if (!isKelmoLayer(m_layers.GetAt(i)->getName())) m_layers.GetAt(i)->setFrozen(frozen);
    KELMO_CATCH(L"CLayers::setAllLayersFrozen")
}

void CLayers::getDWGLayers(CAcadDrawing* drawing) {
    KELMO_TRY
        if (drawing->lock() != Acad::eOk) return;
        forEachLayerRecord(drawing->getDatabase(),
                           [&](AcDbLayerTableRecord* record) { addOrDelete(new CLayer(record)); });
        drawing->unlock(0);
    KELMO_CATCH_ALSO(L"CLayers::getDWGLayers", kelmo::catchClassLib)
}

void CLayers::applyToDWG(CAcadDrawing* drawing) {
    KELMO_TRY
        for (int i = 0; i < m_layers.GetSize(); ++i) m_layers.GetAt(i)->applyToDWG(drawing);
    KELMO_CATCH(L"CLayers::applyToDWG")
}

int CLayers::ensureLayerExists(CAcadDrawing* drawing, CString name, AcCmColor colour) {
    KELMO_TRY
        if (!drawing->getLocked()) return 0;
        return CLayer::addMissingLayer(drawing->getDatabase(), name, &colour);
    KELMO_CATCH(L"CLayers::ensureLayerExists")
}

void CLayers::getFrozenThawedIds(AcDbObjectIdArray& thawed, AcDbObjectIdArray& frozen) {
    KELMO_TRY
        for (int i = 0; i < m_layers.GetSize(); ++i) {
            CLayer* layer = m_layers.GetAt(i);
            if (layer->getFrozen())
                frozen.append(layer->getObjectId());
            else
                thawed.append(layer->getObjectId());
        }
    KELMO_CATCH(L"CLayers::getFrozenThawedIds")
}

void CLayers::setOnLayerToCurrent(CAcadDrawing* drawing) {
    KELMO_TRY
        for (int i = 0; i < m_layers.GetSize(); ++i) {
            CLayer* layer = m_layers.GetAt(i);
            if (layer->getOff() != 0) continue;
            if (drawing->lock() != Acad::eOk) continue;
            AcDbObjectId found;
            bool frozen = false;
            forEachLayerRecord(drawing->getDatabase(), [&](AcDbLayerTableRecord* record) {
                CString name = record->getName();
                name.MakeUpper();
                if (name == layer->getName() && layer->getName() != L"0") {
                    found = record->objectId();
                    frozen = record->isFrozen();
                }
            });
            // The host cannot make nothing, or a frozen layer, current.
            if (!found.isNull() && !frozen) drawing->getDatabase()->setClayer(found);
            drawing->unlock(0);
        }
    KELMO_CATCH_ALSO(L"CLayers::setOnLayerToCurrent", kelmo::catchClassLib)
}

IXMLDOMNodePtr CLayers::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"layersOn", namespaceURI);
        for (int i = 0; i < m_layers.GetSize(); ++i) element->appendChild(m_layers.GetAt(i)->serialize(namespaceURI));
        return element;
    KELMO_CATCH(L"CLayers::serialize")
}

void CLayers::deSerialize(IXMLDOMNodeListPtr nodes) {
    KELMO_TRY
        if (nodes == nullptr) return;
        for (long i = 0; i < nodes->Getlength(); ++i) {
            IXMLDOMNodePtr node = nodes->Getitem(i);
            if (node == nullptr) continue;
            if (kelmo_xml::nodeName(node) != L"layerOn") continue;
            CLayer* layer = new CLayer();
            try {
                layer->deSerialize(node);
            } catch (...) {
                delete layer;
                throw;
            }
            addOrDelete(layer);
        }
    KELMO_CATCH(L"CLayers::deSerialize")
}

int CLayers::addLayersToVXR(CStoredProcedure* procedure, int timeout, int attachID) {
    KELMO_TRY
        for (int i = 0; i < m_layers.GetSize(); ++i) m_layers.GetAt(i)->addLayerToVXR(procedure, timeout, attachID);
        return 1;
    KELMO_CATCH_ALSO(L"CLayers::addLayersToVXR", kelmo::catchClassLib)
}

void CLayers::getGraphicReportLayersOn(CStoredProcedure* procedure, int graphicReportID, int timeout) {
    const wchar_t* method = L"CLayers::getGraphicReportLayersOn";
    KELMO_TRY
        try {
            CParameters parameters;
            CParametersLoan loan(procedure);
            parameters.add(registercall::intInput(L"@graphicReportID", graphicReportID));
            procedure->setTimeout(timeout);
            procedure->setName(L"__gr_getReportLayersOn");
            procedure->setParameters(&parameters);
            _RecordsetPtr records = procedure->execSPReturnParas();
            if (!(records->GetBOF() && records->GetadoEOF())) {
                while (!records->GetadoEOF()) {
                    CLayer* layer = new CLayer();
                    try {
                        _variant_t name = records->GetCollect(L"loName");
                        if (name.vt != VT_NULL) layer->setName(static_cast<const wchar_t*>(_bstr_t(name)));
                        _variant_t description = records->GetCollect(L"loDescription");
                        if (description.vt != VT_NULL)
                            layer->setDescription(static_cast<const wchar_t*>(_bstr_t(description)));
                    } catch (...) {
                        delete layer;
                        throw;
                    }
                    addOrDelete(layer);
                    records->MoveNext();
                }
            }
            if (records->GetState() == adStateOpen) records->Close();
        } catch (const _com_error& error) {
            throw new CEXStoredProcedure(error, procedure, KELMO_BANNER, kelmoSourceFile, method, 2);
        }
    KELMO_CATCH_ALSO(method, kelmo::catchClassLib)
}

void CLayers::deleteObjects() {
    KELMO_TRY
        namedlist::deleteAll(m_layers);
        m_count = 0;
    KELMO_CATCH(L"CLayers::deleteObjects")
}
