#pragma once
// One hyperlink of a space or an asset: an address and the text shown for it.
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CHyperlink {
public:
    CHyperlink();
    CHyperlink(CString href, CString description);
    virtual ~CHyperlink() = default;
    CHyperlink(const CHyperlink&) = delete;
    CHyperlink& operator=(const CHyperlink&) = delete;

    CString getHref() const { return m_href; }
    void setHref(CString href) { m_href = href; }
    CString getDescription() const { return m_description; }
    void setDescription(CString description) { m_description = description; }

    void copyTo(CHyperlink* target);
    // The register's page address of the record with the id.
    void setHyperlink(CString base, int id);

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node);

private:
    CString m_href;
    CString m_description;
};
