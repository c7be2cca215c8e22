#include "reports/Category.h"

#include "core/Catch.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"
#include "model/Asset.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"Category");

using kelmo_model::nodeName;
using kelmo_model::nodeText;

namespace {

// "#RRGGBB", either case, as a true colour; a short text gives 0 for the missing digits.
AcCmColor colourFromHash(const CString& text) {
    AcCmColor colour;
    colour.setColorMethod(AcCm::kByColor);
    const auto pair = [&text](int first) {
        return static_cast<Adesk::UInt8>(CUtilities::_httoi(text.GetLength() > first ? text.Mid(first, 2) : CString()));
    };
    colour.setRGB(pair(1), pair(3), pair(5));
    return colour;
}

} // namespace

// The identifier starts at 0, the register's "none".
CCategory::CCategory() : m_id(0), m_hatch(nullptr), m_blocks(nullptr), m_assets(nullptr) {}

CCategory::~CCategory() {
    delete m_blocks;
    delete m_assets;
    delete m_hatch;
}

bool CCategory::sameLook(const CCategory* other) const {
    if (!other || m_title != other->m_title) return false;
    if (!m_hatch || !other->m_hatch) return !m_hatch && !other->m_hatch;
    return m_hatch->getColour() == other->m_hatch->getColour() &&
           m_hatch->getPattern() == other->m_hatch->getPattern() && m_hatch->getAngle() == other->m_hatch->getAngle() &&
           m_hatch->getScale() == other->m_hatch->getScale();
}

void CCategory::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr || nodeName(node) != L"category" || !node->hasChildNodes()) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            const CString name = nodeName(child);
            if (name == L"cID") {
                m_id = CUtilities::CStringToLong(nodeText(child));
            } else if (name == L"cTitle") {
                m_title = nodeText(child);
            } else if (name == L"cHatchPattern") {
                // A repeated pattern starts a fresh hatch.
                delete m_hatch;
                m_hatch = nullptr;
                m_hatch = new CHatch();
                m_hatch->setPattern(nodeText(child));
            } else if (name == L"kelmoBlocks") {
                delete m_blocks;
                m_blocks = nullptr;
                m_blocks = new CBlocks();
                m_blocks->deSerialize(child, m_hatch);
            } else if (name == L"assets") {
                delete m_assets;
                m_assets = nullptr;
                m_assets = new CAssets();
                m_assets->deSerialize(child->GetchildNodes(), m_hatch);
            } else if (!m_hatch) {
                // Hatch settings before any pattern have no hatch to go to.
                continue;
            } else if (name == L"cHatchColour") {
                m_hatch->setColour(colourFromHash(nodeText(child)));
            } else if (name == L"cHatchScale") {
                m_hatch->setScale(CUtilities::CStringToInt(nodeText(child)));
            } else if (name == L"cHatchAngle") {
                m_hatch->setAngle(CUtilities::CStringToInt(nodeText(child)));
            } else if (name == L"cHatchLayer") {
                m_hatch->setLayer(nodeText(child));
            }
        }
    KELMO_CATCH(L"CCategory::deSerialize")
}

void CCategory::serialize(IXMLDOMNodePtr& node, CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        node = xml.createNode(L"category", namespaceURI);
        node->appendChild(xml.createNode(L"cID", CUtilities::IntToCString(m_id), namespaceURI));
        node->appendChild(xml.createNode(L"cTitle", m_title, namespaceURI));
        if (m_hatch) {
            node->appendChild(xml.createNode(L"cHatchPattern", m_hatch->getPattern(), namespaceURI));
            node->appendChild(
                xml.createNode(L"cHatchColour", CUtilities::acadColourToHash(m_hatch->getColour()), namespaceURI));
            node->appendChild(
                xml.createNode(L"cHatchScale", CUtilities::IntToCString(m_hatch->getScale()), namespaceURI));
            node->appendChild(
                xml.createNode(L"cHatchAngle", CUtilities::IntToCString(m_hatch->getAngle()), namespaceURI));
            node->appendChild(xml.createNode(L"cHatchLayer", m_hatch->getLayer(), namespaceURI));
        }
        if (m_blocks) node->appendChild(m_blocks->serialize(namespaceURI));
        if (m_assets) node->appendChild(m_assets->serialize(namespaceURI));
    KELMO_CATCH(L"CCategory::serialize")
}
