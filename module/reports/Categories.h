#pragma once
// The owning list of a graphic report's categories, in the report's order.
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CCategory;
class CStoredProcedure;

class CCategories {
public:
    CCategories();
    ~CCategories();
    CCategories(const CCategories&) = delete;
    CCategories& operator=(const CCategories&) = delete;

    int getCount() const { return m_count; }
    CCategory* getAt(int index);
    // TRUE when the list took the category. One that looks like a category already held (same title
    // and hatch) is refused and stays the caller's.
    BOOL add(CCategory* category);
    void deleteObjects();

    // The "category" children of a "categories" element.
    void deSerialize(IXMLDOMNodePtr node);
    void serialize(IXMLDOMNodePtr& node, CString namespaceURI);
    // Adds the report's categories from the register, each with its hatch, blocks and assets.
    void getReportCategories(CStoredProcedure* procedure, int graphicReportID, int timeout);

private:
    CTypedPtrArray<CPtrArray, CCategory*> m_categories;
    int m_count;
};
