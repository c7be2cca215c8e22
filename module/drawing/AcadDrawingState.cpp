#include "drawing/AcadDrawingState.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadHost.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "drawing/NamedList.h"

KELMO_SOURCE_FILE(L"AcadDrawingState.cpp");

namespace {

AcDbLayoutManager* layoutManager() {
    return acdbHostApplicationServices()->layoutManager();
}

CString activeLayoutName() {
    const ACHAR* name = layoutManager()->findActiveLayout(true);
    return name ? CString(name) : CString();
}

} // namespace

CAcadDrawingState::CAcadDrawingState() : m_layers(nullptr) {
    KELMO_TRY
        m_layoutName = activeLayoutName();
        m_layers = new CLayers();
    KELMO_CATCH(L"CAcadDrawingState::CAcadDrawingState")
}

CAcadDrawingState::CAcadDrawingState(CAcadDrawing* drawing) : m_layers(nullptr) {
    KELMO_TRY
        getState(drawing);
    KELMO_CATCH(L"CAcadDrawingState::CAcadDrawingState")
}

CAcadDrawingState::~CAcadDrawingState() {
    delete m_layers;
}

void CAcadDrawingState::getState(CAcadDrawing* drawing) {
    KELMO_TRY
        m_layoutName = activeLayoutName();
        // A snapshot taken again replaces the layers it held.
        delete m_layers;
        m_layers = nullptr;
        m_layers = new CLayers();
        m_layers->getDWGLayers(drawing);
    KELMO_CATCH(L"CAcadDrawingState::getState")
}

void CAcadDrawingState::applyState(CAcadDrawing* drawing, int perViewport) {
    KELMO_TRY
        layoutManager()->setCurrentLayout(m_layoutName);
        if (m_layers) {
            m_layers->applyToDWG(drawing);
            if (perViewport != 0 && m_layoutName != L"Model") {
                AcDbObjectIdArray thawed;
                AcDbObjectIdArray frozen;
                m_layers->getFrozenThawedIds(thawed, frozen);
                applyLayersInAllLayoutViewports(thawed, frozen);
            }
        }
        drawing->regenDrawing();
    KELMO_CATCH(L"CAcadDrawingState::applyState")
}

void CAcadDrawingState::applyLayersInAllLayoutViewports(AcDbObjectIdArray& thawed, AcDbObjectIdArray& frozen) {
    KELMO_TRY
        // Layers never read from or written to the drawing have no id to give a viewport.
        AcDbObjectIdArray thaw;
        AcDbObjectIdArray freeze;
        for (const AcDbObjectId& id : thawed)
            if (!id.isNull()) thaw.append(id);
        for (const AcDbObjectId& id : frozen)
            if (!id.isNull()) freeze.append(id);
        CString name = activeLayoutName();
        AcDbLayout* layout = layoutManager()->findLayoutNamed(name, false);
        if (!layout) return;
        AcDbObjectIdArray viewports = layout->getViewportArray();
        for (const AcDbObjectId& id : viewports) {
            AcDbViewport* viewport = nullptr;
            if (acdbOpenObject(viewport, id, AcDb::kForWrite) != Acad::eOk) continue;
            if (!freeze.isEmpty()) viewport->freezeLayersInViewport(freeze);
            if (!thaw.isEmpty()) viewport->thawLayersInViewport(thaw);
            viewport->close();
        }
    KELMO_CATCH(L"CAcadDrawingState::applyLayersInAllLayoutViewports")
}

void CAcadDrawingState::setAllLayerLineWeights(int lineWeight) {
    try {
        if (!m_layers) return;
        for (int i = 0; i < m_layers->getCount(); ++i) m_layers->getAt(i)->setLineWeight(lineWeight);
    } catch (CEXKelmo* caught) {
        caught->deleteException();
        throw new CEXUnhandled(KELMO_BANNER, kelmoSourceFile, L"CAcadDrawingState::setAllLayerLineWeights");
    } catch (...) {
        throw new CEXUnhandled(KELMO_BANNER, kelmoSourceFile, L"CAcadDrawingState::setAllLayerLineWeights");
    }
}

void CAcadDrawingState::setStateAllOff(CAcadDrawing* drawing) {
    try {
        layoutManager()->setCurrentLayout(L"Model");
        if (m_layers) {
            for (int i = 0; i < m_layers->getCount(); ++i) {
                CLayer* layer = m_layers->getAt(i);
                layer->setFrozen(0);
                layer->setLocked(0);
                layer->setOff(1);
                layer->setPlottable(1);
            }
        }
        applyState(drawing, 0);
    } catch (CEXKelmo* caught) {
        caught->deleteException();
        throw new CEXUnhandled(KELMO_BANNER, kelmoSourceFile, L"CAcadDrawingState::setStateAllOff");
    } catch (...) {
        throw new CEXUnhandled(KELMO_BANNER, kelmoSourceFile, L"CAcadDrawingState::setStateAllOff");
    }
}

void CAcadDrawingState::setStateForTakeOff(CAcadDrawing* drawing) {
    try {
        m_layoutName = L"Model";
        if (m_layers) {
            for (int i = 0; i < m_layers->getCount(); ++i) {
                CLayer* layer = m_layers->getAt(i);
                layer->setLocked(0);
                layer->setFrozen(0);
                layer->setOff(0);
                layer->setPlottable(1);
            }
        }
        applyState(drawing, 0);
    } catch (CEXKelmo* caught) {
        caught->deleteException();
        throw new CEXUnhandled(KELMO_BANNER, kelmoSourceFile, L"CAcadDrawingState::setStateForTakeOff");
    } catch (...) {
        throw new CEXUnhandled(KELMO_BANNER, kelmoSourceFile, L"CAcadDrawingState::setStateForTakeOff");
    }
}

void CAcadDrawingState::setKelmoLayersForOutput() {}

void CAcadDrawingState::setLayerState(CString name, int frozen, int locked, int off, int plottable) {
    KELMO_TRY
        if (!m_layers) m_layers = new CLayers();
        CLayer* layer = m_layers->getAtLayer(name);
        if (layer) {
            layer->setFrozen(frozen);
            layer->setLocked(locked);
            layer->setOff(off);
            layer->setPlottable(plottable);
            return;
        }
        layer = new CLayer();
        try {
            layer->setName(name);
            layer->setFrozen(frozen);
            layer->setLocked(locked);
            layer->setOff(off);
            layer->setPlottable(plottable);
        } catch (...) {
            delete layer;
            throw;
        }
        // The cleaned name may match a held layer after all: that one stays.
        namedlist::addOrDelete(*m_layers, layer);
    KELMO_CATCH(L"CAcadDrawingState::setLayerState")
}

IXMLDOMNodePtr CAcadDrawingState::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"AcadDrawingState", namespaceURI);
        element->appendChild(xml.createNode(L"layout", m_layoutName, namespaceURI));
        if (m_layers) element->appendChild(m_layers->serialize(namespaceURI));
        return element;
    KELMO_CATCH_ALSO(L"CAcadDrawingState::serialize", kelmo::catchClassLib)
}

void CAcadDrawingState::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr) return;
        if (CString(static_cast<const wchar_t*>(node->GetnodeName())) != L"AcadDrawingState" || !node->hasChildNodes())
            return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            CString name = static_cast<const wchar_t*>(child->GetnodeName());
            if (name == L"layout") {
                setLayoutName(static_cast<const wchar_t*>(child->Gettext()));
            } else if (name == L"layersOn") {
                // The list read replaces the one held, which would otherwise be lost.
                CLayers* layers = new CLayers();
                try {
                    layers->deSerialize(child->GetchildNodes());
                } catch (...) {
                    delete layers;
                    throw;
                }
                delete m_layers;
                m_layers = layers;
            }
        }
    KELMO_CATCH_ALSO(L"CAcadDrawingState::deSerialize", kelmo::catchClassLib)
}
