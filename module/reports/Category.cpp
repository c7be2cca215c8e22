#include "reports/Category.h"

#include <cmath>
#include <limits>

#include "core/Catch.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"
#include "model/Asset.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "model/ModelSupport.h"

KELMO_SOURCE_FILE(L"Category");

using kelmo_model::nodeName;
using kelmo_model::valueText;

namespace {

// The texts of a category's hatch elements as the file gives them, the later of two standing.
struct HatchTexts {
    CString pattern, colour, scale, angle, layer;
    bool hasPattern = false, hasColour = false, hasScale = false, hasAngle = false, hasLayer = false;
    bool any() const { return hasPattern || hasColour || hasScale || hasAngle || hasLayer; }
};

// A hatch's angle or scale, which it holds as a whole number: "0.5" or "2,5" is none.
bool readWholeInt(const CString& text, int& value) {
    double read = 0.0;
    if (!CUtilities::readWholeNumber(text, read) || read != std::floor(read) ||
        read < std::numeric_limits<int>::min() || read > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(read);
    return true;
}

// The colour as the batch reads it from the register: "#RRGGBB" or "RRGGBB", either case; false for
// any other text, so that nothing is hatched in a colour nobody wrote.
bool readColour(const CString& text, AcCmColor& colour) {
    colour.setColorMethod(AcCm::kByColor);
    try {
        CUtilities::hashColourToAcad(text, colour);
        return true;
    } catch (CEXKelmo* unread) {
        unread->deleteException();
        return false;
    }
}

CString quoted(const CString& text) {
    return L"\"" + text + L"\"";
}

// The hatch the texts describe; none, with a line in the problems, when nothing says plainly which
// colour it has.
CHatch* hatchFrom(const HatchTexts& texts, CStringArray& problems) {
    if (!texts.hasPattern || texts.pattern.IsEmpty()) {
        if (texts.any())
            problems.Add(L"hatch settings without a hatch pattern - its spaces and assets are not hatched");
        return nullptr;
    }
    AcCmColor colour;
    if (!texts.hasColour) {
        problems.Add(L"no hatch colour - its spaces and assets are not hatched");
        return nullptr;
    }
    if (!readColour(texts.colour, colour)) {
        problems.Add(L"hatch colour " + quoted(texts.colour) +
                     L" is not a colour written #RRGGBB - its spaces and assets are not hatched");
        return nullptr;
    }
    auto* hatch = new CHatch();
    hatch->setPattern(texts.pattern);
    hatch->setColour(colour);
    hatch->setLayer(texts.layer);
    int value = 0;
    if (texts.hasScale && !readWholeInt(texts.scale, value)) {
        // Drawn at 1, as a scale that is no size is; a solid fill has no scale to lose.
        value = 1;
        if (texts.pattern.CompareNoCase(L"SOLID") != 0)
            problems.Add(L"hatch scale " + quoted(texts.scale) +
                         L" is not a whole number - its hatches are drawn at scale 1");
    }
    hatch->setScale(value);
    value = 0;
    if (texts.hasAngle && !readWholeInt(texts.angle, value))
        problems.Add(L"hatch angle " + quoted(texts.angle) +
                     L" is not a whole number - its hatches are drawn at angle 0");
    hatch->setAngle(value);
    return hatch;
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
        // Read by name in any order, as other tools write them: the hatch is whole before the blocks and
        // assets take it.
        HatchTexts texts;
        IXMLDOMNodePtr blocks;
        IXMLDOMNodePtr assets;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            const CString name = nodeName(child);
            if (name == L"cID") {
                m_id = CUtilities::CStringToLong(valueText(child));
            } else if (name == L"cTitle") {
                m_title = valueText(child);
            } else if (name == L"cHatchPattern") {
                texts.pattern = valueText(child);
                texts.hasPattern = true;
            } else if (name == L"cHatchColour") {
                texts.colour = valueText(child);
                texts.hasColour = true;
            } else if (name == L"cHatchScale") {
                texts.scale = valueText(child);
                texts.hasScale = true;
            } else if (name == L"cHatchAngle") {
                texts.angle = valueText(child);
                texts.hasAngle = true;
            } else if (name == L"cHatchLayer") {
                texts.layer = valueText(child);
                texts.hasLayer = true;
            } else if (name == L"kelmoBlocks") {
                blocks = child;
            } else if (name == L"assets") {
                assets = child;
            }
        }
        m_hatch = hatchFrom(texts, m_readProblems);
        if (blocks != nullptr) {
            m_blocks = new CBlocks();
            m_blocks->deSerialize(blocks, m_hatch);
        }
        if (assets != nullptr) {
            m_assets = new CAssets();
            m_assets->deSerialize(assets->GetchildNodes(), m_hatch);
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
