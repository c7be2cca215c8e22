#include "reports/Categories.h"

#include "core/Catch.h"
#include "core/XMLUtilities.h"
#include "model/ModelSupport.h"
#include "reports/Category.h"

KELMO_SOURCE_FILE(L"Categories");

CCategories::CCategories() : m_count(0) {}

CCategories::~CCategories() {
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CCategories::~CCategories");
    }
}

CCategory* CCategories::getAt(int index) {
    KELMO_TRY
        return m_categories.GetAt(index);
    KELMO_CATCH_ALSO(L"CCategories::getAt", kelmo::catchClassLib)
}

BOOL CCategories::add(CCategory* category) {
    KELMO_TRY
        if (!category) return FALSE;
        for (int i = 0; i < m_count; ++i)
            if (m_categories.GetAt(i)->sameLook(category)) return FALSE;
        m_categories.Add(category);
        ++m_count;
        return TRUE;
    KELMO_CATCH_ALSO(L"CCategories::add", kelmo::catchClassLib)
}

void CCategories::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < m_categories.GetSize(); ++i) delete m_categories.GetAt(i);
        m_categories.RemoveAll();
        m_count = 0;
    KELMO_CATCH(L"CCategories::deleteObjects")
}

void CCategories::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            if (kelmo_model::nodeName(child) != L"category") continue;
            CCategory* category = new CCategory();
            try {
                category->deSerialize(child);
            } catch (...) {
                delete category;
                throw;
            }
            // A category that looks like one held already adds nothing to the legend.
            if (!add(category)) delete category;
        }
    KELMO_CATCH(L"CCategories::deSerialize")
}

void CCategories::serialize(IXMLDOMNodePtr& node, CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        node = xml.createNode(L"categories", namespaceURI);
        for (int i = 0; i < m_count; ++i) {
            IXMLDOMNodePtr category;
            m_categories.GetAt(i)->serialize(category, namespaceURI);
            node->appendChild(category);
        }
    KELMO_CATCH(L"CCategories::serialize")
}
