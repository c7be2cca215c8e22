// A space block as placed in the drawing: reading it from its reference, its handle and units, XML form and copies.
#include "model/BlockDWG.h"

#include "cad/app/ApDocument.h"
#include "core/Catch.h"
#include "core/Globals.h"
#include "core/Preferences.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/UnitChange.h"
#include "model/BlockDWGInternal.h"
#include "model/Hatch.h"
#include "model/Hyperlinks.h"
#include "model/KelmoAttribute.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"BlockDWG");

using kelmo_model::nodeName;
using kelmo_model::nodeText;
using kelmo_model::valueText;
using kelmo_model::block_dwg::handleText;
using kelmo_model::block_dwg::kNoXData;
using kelmo_model::block_dwg::ucsMatrixOf;

namespace {

constexpr const wchar_t* kNotSet = L"<Not Set>";

} // namespace

CBlockDWG::CBlockDWG()
    : m_hatch(nullptr),
      m_attributes(nullptr),
      m_assets(nullptr),
      m_zoomOnApply(0),
      m_zoomMargin(0.0),
      m_colorIndex(256),
      m_lineWeight(AcDb::kLnWtByLayer) {
    initialise();
}

CBlockDWG::CBlockDWG(AcDbBlockReference* reference, AcApDocument* document)
    : m_hatch(nullptr),
      m_attributes(nullptr),
      m_assets(nullptr),
      m_zoomOnApply(0),
      m_zoomMargin(0.0),
      m_colorIndex(256),
      m_lineWeight(AcDb::kLnWtByLayer) {
    try {
        initialise();
        setHyperlinks(new CHyperlinks(reference));
        readReference(reference);
        // The record travels under "ADE"; older drawings carry it under "AECXDATA".
        m_xDataAppName = L"ADE";
        resbuf* data = reference->xData(m_xDataAppName);
        if (!data) {
            m_xDataAppName = L"AECXDATA";
            data = reference->xData(m_xDataAppName);
        }
        if (data) {
            try {
                readXData(data, document);
            } catch (...) {
                acutRelRb(data);
                throw;
            }
            acutRelRb(data);
        } else {
            m_xDataAppName = kNoXData;
        }
        m_attributes = new CAttributes();
        m_attributes->extractSpaceBlockAttributeValues(
            reference, ucsMatrixOf(document ? document->database() : reference->database()));
        CAttribute* nameAttribute = m_attributes->getAtAttribute(0);
        if (nameAttribute) {
            setCode(nameAttribute->getValue());
            setName(getCode());
        }
        if (getName().IsEmpty()) {
            setName(m_blockIdentifier);
            m_nameFromDefinition = !nameAttribute;
        }
    } catch (...) {
        // The destructor does not run for a half-built object: free what it owns here.
        delete m_hatch;
        delete m_attributes;
        delete m_assets;
        m_hatch = nullptr;
        m_attributes = nullptr;
        m_assets = nullptr;
        kelmo::rethrowWrapped(kelmoSourceFile, L"CBlockDWG::CBlockDWG", kelmo::catchClassLib);
    }
}

CBlockDWG::~CBlockDWG() {
    delete m_hatch;
    delete m_attributes;
    delete m_assets;
}

void CBlockDWG::initialise() {
    KELMO_TRY
        m_objectId.setNull();
        m_dwgHandle.setNull();
        m_blockIdentifier.Empty();
        m_xDataAppName = L"ADE";
        m_handlesToMinus.RemoveAll();
        m_handlesToAdd.RemoveAll();
        m_zoomOnApply = 0;
        m_zoomMargin = 0.0;
        m_layer.Empty();
        setName(L"");
        setArea(0.0);
        setPerimeter(0.0);
        setRoomHeight(0.0);
        setVolume(0.0);
        setAreaType(kNotSet);
        setCostCentre(kNotSet);
        setDate(kNotSet);
        setDateLastMove(kNotSet);
        setDeptCharge(kNotSet);
        setSpecialReq(kNotSet);
        setTagType(kNotSet);
        setTotStaff(kNotSet);
        setTotWkStns(kNotSet);
        setUnits(-1);
        setPrecision(-1);
        setType(typeDWG);
    KELMO_CATCH(L"CBlockDWG::initialise")
}

void CBlockDWG::readReference(AcDbBlockReference* reference) {
    m_objectId = reference->objectId();
    m_layer = reference->layerName().c_str();
    m_colorIndex = reference->colorIndex();
    m_lineWeight = reference->lineWeight();
    AcDbBlockTableRecord* definition = nullptr;
    if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) == Acad::eOk) {
        m_blockIdentifier = definition->getName();
        definition->close();
    }
    setHandle(handleText(reference->handle()));
}

void CBlockDWG::setHandle(AcDbHandle handle) {
    KELMO_TRY
        m_dwgHandle = handle;
        CBlock::setHandle(handleText(handle));
    KELMO_CATCH(L"CBlockDWG::setHandle")
}

void CBlockDWG::setHandle(CString handle) {
    KELMO_TRY
        CBlock::setHandle(handle);
        m_dwgHandle = AcDbHandle(static_cast<const wchar_t*>(handle));
    KELMO_CATCH(L"CBlockDWG::setHandle")
}

int CBlockDWG::getKnownUnits() const {
    if (getUnits() != -1) return getUnits();
    CPreferences preferences;
    preferences.loadPreferences(g_hostDirectory + L"\\kelmo\\prefs\\prefs.cfg"); // a missing file leaves metric
    return preferences.getUnits();
}

void CBlockDWG::takePreferenceUnitsWhenUnknown() {
    KELMO_TRY
        if (getUnits() != -1) return;
        const int units = getKnownUnits();
        setUnits(units);
        // A perimeter, height or volume whose text named its units was held as written until the record had
        // units.
        if (m_perimeterAsWritten.units != -1 && getPerimeter() == m_perimeterAsWritten.value)
            setPerimeter(kelmo_model::lengthInUnits(m_perimeterAsWritten.value, m_perimeterAsWritten.units, units));
        if (m_heightAsWritten.units != -1 && getRoomHeight() == m_heightAsWritten.value)
            setRoomHeight(kelmo_model::lengthInUnits(m_heightAsWritten.value, m_heightAsWritten.units, units));
        if (m_volumeAsWritten.units != -1 && getVolume() == m_volumeAsWritten.value)
            setVolume(kelmo_model::volumeInUnits(m_volumeAsWritten.value, m_volumeAsWritten.units, units));
    KELMO_CATCH(L"CBlockDWG::takePreferenceUnitsWhenUnknown")
}

CString CBlockDWG::getAreaUnitText() const {
    return getKnownUnits() == 1 ? L"sq.ft." : L"sq.m.";
}

CString CBlockDWG::getLengthUnitText() const {
    return getKnownUnits() == 1 ? L"ft." : L"m.";
}

// ---------------------------------------------------------------------------------------------------------
// XML form

IXMLDOMNodePtr CBlockDWG::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"kelmoBlock", namespaceURI);
        element->appendChild(xml.createNode(L"mbHandle", CBlock::getHandle(), namespaceURI));
        if (!getName().IsEmpty()) element->appendChild(xml.createNode(L"mbName", getName(), namespaceURI));
        if (!getCode().IsEmpty()) element->appendChild(xml.createNode(L"mbCode", getCode(), namespaceURI));
        if (getArea() != 0.0)
            element->appendChild(xml.createNode(L"mbArea", CUtilities::DoubleToCString(getArea(), 2), namespaceURI));
        if (m_attributes) {
            const wchar_t* names[] = {L"mbSwapName", L"mbSwapArea", L"mbSwapAux"};
            for (int role = 0; role < 3; ++role) {
                CAttribute* attribute = m_attributes->getAtAttribute(role);
                if (attribute) element->appendChild(xml.createNode(names[role], attribute->getValue(), namespaceURI));
            }
        }
        if (getHyperlinks()) element->appendChild(getHyperlinks()->serialize(namespaceURI));
        if (m_assets) element->appendChild(m_assets->serialize(namespaceURI));
        return element;
    KELMO_CATCH_ALSO(L"CBlockDWG::serialize", kelmo::catchClassLib)
}

void CBlockDWG::deSerialize(IXMLDOMNodePtr node, CHatch* hatch) {
    KELMO_TRY
        if (node == nullptr || nodeName(node) != L"kelmoBlock") return;
        if (hatch) {
            // The block's own copy: the category's hatch may go before the block does.
            CHatch* copy = new CHatch();
            hatch->copyTo(copy);
            delete m_hatch;
            m_hatch = copy;
        }
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            CString name = nodeName(child);
            int role = name == L"mbSwapName" ? 0 : name == L"mbSwapArea" ? 1 : name == L"mbSwapAux" ? 2 : -1;
            if (name == L"mbHandle") {
                setHandle(valueText(child));
            } else if (name == L"mbName") {
                setName(nodeText(child));
            } else if (name == L"mbCode") {
                setCode(nodeText(child));
            } else if (name == L"mbArea") {
                // Read whole or not at all: "1,092.50" is never 1.
                const CString text = valueText(child);
                double area = 0.0;
                m_unreadArea.Empty();
                if (!CUtilities::readWholeNumber(text, area) && !text.IsEmpty()) m_unreadArea = text;
                setArea(m_unreadArea.IsEmpty() ? area : 0.0);
            } else if (role >= 0) {
                if (!m_attributes) m_attributes = new CAttributes();
                CKelmoAttribute* attribute = new CKelmoAttribute();
                attribute->setSwapType(role);
                attribute->setValue(nodeText(child));
                int before = m_attributes->getCount();
                if (m_attributes->add(attribute, 0) == before) delete attribute;
            } else if (name == L"hyperlinks") {
                CHyperlinks* hyperlinks = new CHyperlinks();
                delete getHyperlinks();
                setHyperlinks(hyperlinks);
                hyperlinks->deSerialize(child);
            } else if (name == L"assets") {
                CAssets* assets = new CAssets();
                delete m_assets;
                m_assets = assets;
                assets->deSerialize(child->GetchildNodes(), nullptr);
            }
        }
    KELMO_CATCH_ALSO(L"CBlockDWG::deSerialize", kelmo::catchClassLib)
}

// ---------------------------------------------------------------------------------------------------------
// Copies

void CBlockDWG::copyInto(CBlockDWG* target) {
    KELMO_TRY
        if (!target) return;
        target->setObjectId(m_objectId);
        target->setHandle(m_dwgHandle);
        target->setColorIndex(m_colorIndex);
        target->setLineWeight(m_lineWeight);
        target->setBlockIdentifier(m_blockIdentifier);
        target->setXDataAppName(m_xDataAppName);
        target->m_nameFromDefinition = m_nameFromDefinition;
        for (int i = 0; i < storedValues; ++i) target->m_storedTexts[i] = m_storedTexts[i];
        target->m_areaUnread = m_areaUnread;
        target->m_perimeterUnread = m_perimeterUnread;
        target->m_areaPastPrecision = m_areaPastPrecision;
        target->m_areaAsWritten = m_areaAsWritten;
        target->m_heightUnread = m_heightUnread;
        target->m_volumeUnread = m_volumeUnread;
        target->m_unreadNamed = m_unreadNamed;
        target->m_perimeterAsWritten = m_perimeterAsWritten;
        target->m_heightAsWritten = m_heightAsWritten;
        target->m_volumeAsWritten = m_volumeAsWritten;
        for (INT_PTR i = 0; i < m_handlesToMinus.GetSize(); ++i) target->m_handlesToMinus.Add(m_handlesToMinus[i]);
        for (INT_PTR i = 0; i < m_handlesToAdd.GetSize(); ++i) target->m_handlesToAdd.Add(m_handlesToAdd[i]);
        target->setArea(getArea());
        // The target is a fresh block: what it held is replaced, and freed rather than lost.
        if (m_attributes) {
            CAttributes* attributes = new CAttributes();
            delete target->m_attributes;
            target->m_attributes = attributes;
            m_attributes->copyKelmoAttributesTo(attributes);
        }
        if (m_hatch) {
            CHatch* hatch = new CHatch();
            delete target->m_hatch;
            target->m_hatch = hatch;
            m_hatch->copyTo(hatch);
        }
        if (getHyperlinks()) {
            CHyperlinks* hyperlinks = new CHyperlinks();
            delete target->getHyperlinks();
            target->setHyperlinks(hyperlinks);
            getHyperlinks()->copyTo(hyperlinks);
        }
        if (m_assets) {
            CAssets* assets = new CAssets();
            delete target->m_assets;
            target->m_assets = assets;
            m_assets->copyTo(assets);
        }
        CBlock::copyInto(target);
    KELMO_CATCH(L"CBlockDWG::copyInto")
}

void CBlockDWG::copyFormatting(CBlockDWG* target) {
    KELMO_TRY
        if (!target) return;
        target->setArea(getArea());
        if (m_attributes) {
            if (!target->m_attributes) target->m_attributes = new CAttributes();
            CAttributes* attributes = target->m_attributes;
            attributes->setHeight(m_attributes->getHeight());
            attributes->setRotation(m_attributes->getRotation());
            attributes->setWidthFactor(m_attributes->getWidthFactor());
            for (int i = 0; i < m_attributes->getCount(); ++i) {
                CKelmoAttribute* source = dynamic_cast<CKelmoAttribute*>(m_attributes->getAt(i));
                if (!source) continue;
                CAttribute* existing = attributes->getAtAttribute(source->getSwapType());
                if (existing) {
                    existing->setValue(source->getValue());
                    continue;
                }
                CKelmoAttribute* added = new CKelmoAttribute();
                added->setSwapType(source->getSwapType());
                added->setValue(source->getValue());
                int before = attributes->getCount();
                if (attributes->add(added, 0) == before) delete added;
            }
        }
        if (m_hatch) {
            if (!target->m_hatch) target->m_hatch = new CHatch();
            m_hatch->copyTo(target->m_hatch);
        }
        if (getHyperlinks()) {
            CHyperlinks* hyperlinks = new CHyperlinks();
            delete target->getHyperlinks();
            target->setHyperlinks(hyperlinks);
            getHyperlinks()->copyTo(hyperlinks);
        }
    KELMO_CATCH(L"CBlockDWG::copyFormatting")
}
