#include "reports/GraphicReport.h"

#include <cmath>

#include "core/Catch.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"
#include "drawing/AcadUtilities.h"
#include "drawing/Layers.h"
#include "model/ModelSupport.h"
#include "reports/Categories.h"
#include "reports/LinkLines.h"
#include "reports/ReportSupport.h"

KELMO_SOURCE_FILE(L"GraphicReport");

using kelmo_model::nodeName;
using kelmo_model::valueText;
using kelmo_reports::exactText;

namespace {

// COM is initialised for the length of one read or write, however it ends.
struct ComScope {
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

CString reportNamespace() {
    return CString(KELMO_NAMESPACE_URI) + L"/Ostrel";
}

int flagFrom(const CString& text) {
    return text == L"1" || text == L"true" ? 1 : 0;
}

[[noreturn]] void refuse(const CString& description) {
    throw new CEXCustom(description, KELMO_BANNER, kelmoSourceFile, L"CGraphicReport::deSerialize", 0, nullptr);
}

// The document element of a report file; raises a clear error for anything that is not one.
IXMLDOMNodePtr reportRoot(IXMLDOMDocumentPtr& document, const CString& xmlPath) {
    CFileStatus status;
    if (xmlPath.IsEmpty() || !CFile::GetStatus(xmlPath, status) || (status.m_attribute & CFile::directory))
        refuse(L"Graphic report file not found - " + xmlPath);
    document.CreateInstance(L"Msxml2.DOMDocument");
    if (document->load(_variant_t(xmlPath)) == VARIANT_FALSE) {
        CString reason = static_cast<const wchar_t*>(document->GetparseError()->Getreason());
        reason.TrimRight();
        // A named pipe or a device shows no size: it is refused for what it is, not as empty.
        if (document->GetparseError()->GeterrorCode() == E_ACCESSDENIED)
            refuse(L"Graphic report file cannot be read - " + xmlPath + L" - " + reason);
        if (status.m_size == 0) refuse(L"Graphic report file is empty - " + xmlPath);
        refuse(L"Graphic report file is not valid XML - " + xmlPath + (reason.IsEmpty() ? CString() : L" - " + reason));
    }
    IXMLDOMNodePtr root = document->selectSingleNode(L"/*");
    if (root == nullptr) refuse(L"Graphic report file has no root element - " + xmlPath);
    if (nodeName(root) != L"graphicReport")
        refuse(L"Not a graphic report file - " + xmlPath + L" (its root element is '" + nodeName(root) +
               L"', not 'graphicReport')");
    return root;
}

} // namespace

// The identifier starts at 0, the register's "none"; the plot and pie settings at the register's
// defaults.
CGraphicReport::CGraphicReport()
    : m_id(0),
      m_plotTypeID(0),
      m_plotOptionID(1),
      m_plotCentred(1),
      m_plotAreaTypeID(0),
      m_plotScaleTypeID(0),
      m_plotMediaSizeID(0),
      m_totalChildAreas(0.0),
      m_categories(nullptr),
      m_layersOn(nullptr),
      m_linkLines(nullptr),
      m_pieXYOffset(0.0),
      m_pieIgnoreEmptySegments(1),
      m_pieShowLabels(1),
      m_pieShowLabelSegmentLines(1) {}

CGraphicReport::~CGraphicReport() {
    delete m_categories;
    delete m_layersOn;
    delete m_linkLines;
}

void CGraphicReport::setDrawingPath(CString path) {
    CFileUtilities::checkPathSyntax(path);
    m_drawingPath = path;
}

void CGraphicReport::setOutputPath(CString path) {
    CFileUtilities::checkPathSyntax(path);
    m_outputPath = path;
}

void CGraphicReport::setXMLOutputTo(CString path) {
    CFileUtilities::checkPathSyntax(path);
    m_XMLOutputTo = path;
}

// A number of the file read whole, or left as it was with a line naming the element and its text.
void CGraphicReport::readNumber(const CString& element, const CString& text, double& value) {
    if (CUtilities::readWholeNumber(text, value)) return;
    m_readProblems.Add(element + L" \"" + text + L"\" is not a number - not read");
}

void CGraphicReport::deSerialize(CString xmlPath) {
    try {
        ComScope com;
        IXMLDOMDocumentPtr document;
        IXMLDOMNodePtr root = reportRoot(document, xmlPath);
        CAcadUtilities utilities;
        IXMLDOMNodeListPtr children = root->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            const CString name = nodeName(child);
            const CString text = valueText(child);
            if (name == L"grID") {
                m_id = CUtilities::CStringToLong(text);
            } else if (name == L"grTitle") {
                m_title = text;
            } else if (name == L"grDrawingPath") {
                m_drawingPath = text;
            } else if (name == L"grDrawingFilename") {
                m_drawingFilename = text;
            } else if (name == L"grPlotLayout") {
                m_plotLayout = text;
            } else if (name == L"grPlotTypeID") {
                m_plotTypeID = utilities.convertPlotDevice(CUtilities::CStringToInt(text));
            } else if (name == L"grPlotAreaTypeID") {
                m_plotAreaTypeID = utilities.convertPlotArea(CUtilities::CStringToInt(text));
            } else if (name == L"grPlotMediaSizeID") {
                m_plotMediaSizeID = utilities.convertMediaSize(CUtilities::CStringToInt(text));
            } else if (name == L"grPlotScaleTypeID") {
                m_plotScaleTypeID = utilities.convertScale(CUtilities::CStringToInt(text));
            } else if (name == L"grPlotCentred") {
                m_plotCentred = flagFrom(text);
            } else if (name == L"grPieIgnoreEmptySegments") {
                m_pieIgnoreEmptySegments = flagFrom(text);
            } else if (name == L"grPieShowLabels") {
                m_pieShowLabels = flagFrom(text);
            } else if (name == L"grPieShowLabelSegmentLines") {
                m_pieShowLabelSegmentLines = flagFrom(text);
            } else if (name == L"grTotalChildAreas") {
                readNumber(name, text, m_totalChildAreas);
            } else if (name == L"grPieXYOffset") {
                readNumber(name, text, m_pieXYOffset);
            } else if (name == L"categories") {
                // A repeated list replaces the one read before.
                auto* categories = new CCategories();
                try {
                    categories->deSerialize(child);
                } catch (...) {
                    delete categories;
                    throw;
                }
                delete m_categories;
                m_categories = categories;
            } else if (name == L"layersOn") {
                auto* layers = new CLayers();
                try {
                    layers->deSerialize(child->GetchildNodes());
                } catch (...) {
                    delete layers;
                    throw;
                }
                delete m_layersOn;
                m_layersOn = layers;
            }
        }
    } catch (CEXKelmo*) {
        throw;
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, L"CGraphicReport::deSerialize", kelmo::catchClassLib);
    }
}

void CGraphicReport::serialize(CString xmlPath) {
    KELMO_TRY
        // Built whole in memory and saved once: the old file stays until the new one takes its place.
        const CString uri = reportNamespace();
        CXMLUtilities xml;
        ComScope com;
        IXMLDOMDocumentPtr document = xml.newXMLDoc(L"", L"graphicReport", uri);
        IXMLDOMNodePtr root = document->selectSingleNode(L"/*");
        if (root == nullptr)
            throw new CEXInvalidXMLFile(KELMO_BANNER, kelmoSourceFile, L"CGraphicReport::serialize", xmlPath);
        const auto add = [&](const wchar_t* name, const CString& text) {
            root->appendChild(xml.createNode(name, text, uri));
        };
        CAcadUtilities utilities;
        add(L"grID", CUtilities::IntToCString(m_id));
        if (!m_title.IsEmpty()) add(L"grTitle", m_title);
        add(L"grDrawingPath", m_drawingPath);
        add(L"grDrawingFilename", m_drawingFilename);
        add(L"grPlotTypeID", CUtilities::IntToCString(m_plotTypeID));
        add(L"grPlotAreaTypeID", CUtilities::IntToCString(m_plotAreaTypeID));
        add(L"grPlotMediaSizeID", CUtilities::IntToCString(m_plotMediaSizeID));
        // The file holds the stored id, which the reader turns into the host's value again.
        add(L"grPlotScaleTypeID", CUtilities::IntToCString(utilities.convertToScaleTypeID(m_plotScaleTypeID)));
        add(L"grPlotCentred", CUtilities::BoolToCString(m_plotCentred));
        if (!m_saveCopyTo.IsEmpty()) add(L"grSaveCopyTo", m_saveCopyTo);
        if (!m_plotLayout.IsEmpty()) add(L"grPlotLayout", m_plotLayout);
        add(L"grTotalChildAreas", exactText(m_totalChildAreas));
        add(L"grPieXYOffset", exactText(m_pieXYOffset));
        add(L"grPieIgnoreEmptySegments", CUtilities::BoolToCString(m_pieIgnoreEmptySegments));
        add(L"grPieShowLabels", CUtilities::BoolToCString(m_pieShowLabels));
        add(L"grPieShowLabelSegmentLines", CUtilities::BoolToCString(m_pieShowLabelSegmentLines));
        if (m_categories) {
            IXMLDOMNodePtr categories;
            m_categories->serialize(categories, uri);
            root->appendChild(categories);
        }
        if (m_layersOn) root->appendChild(m_layersOn->serialize(uri));
        try {
            document->save(_variant_t(xmlPath));
        } catch (const _com_error& refused) {
            // Why the file could not be written (a full disk, say) goes with the failure.
            throw new CEXUnhandled(refused, KELMO_BANNER, kelmoSourceFile, L"CGraphicReport::serialize", 0);
        }
    KELMO_CATCH(L"CGraphicReport::serialize")
}
