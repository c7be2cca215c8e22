#pragma once
// Shared inside the XML document model: libxml2 helpers, handle lifetime and tree operations.
#include "xml/MsXml.h"

#include <libxml/tree.h>

#include <string>

#include "win/Encoding.h"

namespace xmldom {

// What we keep with every libxml2 document: how many handles hold it, and its document object.
struct DocInfo {
    long pins = 0;
    IXMLDOMNode* wrapper = nullptr; // the document object, while one exists
};

inline const xmlChar* X(const std::string& s) {
    return reinterpret_cast<const xmlChar*>(s.c_str());
}
inline std::string S(const xmlChar* s) {
    return s ? reinterpret_cast<const char*>(s) : std::string();
}
inline std::string U(const _bstr_t& b) {
    return win::toUtf8(b.wstr());
}
inline _bstr_t B(const std::string& s) {
    return _bstr_t(win::fromUtf8(s));
}

// Raises the COM error every failure of the document model becomes.
[[noreturn]] void fail(HRESULT hr, const std::wstring& description);

inline DocInfo* info(xmlDocPtr d) {
    return static_cast<DocInfo*>(d->_private);
}

inline bool isDocNode(xmlNodePtr n) {
    return n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE;
}

// Documents and handles (DomDocument.cpp).
xmlDocPtr newDoc();
void pin(xmlDocPtr d);
void unpin(xmlDocPtr d);
// Whether any node of the subtree has a handle.
bool hasWrappers(xmlNodePtr n);
void freeSubtree(xmlNodePtr n);
// A detached subtree nobody holds any more is freed.
void maybeFreeFragment(xmlNodePtr n);
bool validName(const std::string& name);

template <class F>
void forEachNode(xmlNodePtr n, F&& f) {
    f(n);
    if (n->type == XML_ELEMENT_NODE)
        for (xmlAttrPtr a = n->properties; a; a = a->next) forEachNode(reinterpret_cast<xmlNodePtr>(a), f);
    if (n->type != XML_ENTITY_REF_NODE)
        for (xmlNodePtr c = n->children; c; c = c->next) forEachNode(c, f);
}

// Moving subtrees, their namespaces, names and text (DomTree.cpp).
// After a subtree leaves its place, every namespace it uses is declared inside it.
void makeSelfContained(xmlNodePtr root);
// Moves a detached, self-contained subtree into another document.
void adopt(xmlNodePtr root, xmlDocPtr target);
void link(xmlNodePtr child, xmlNodePtr parent, xmlNodePtr before);
void detach(xmlNodePtr n);
// A declaration that repeats what is already in scope is dropped, so a namespace is declared
// once, where it changes.
void dropRedundant(xmlNodePtr e);
// An element in no namespace under a default namespace says so with xmlns="".
void undeclareDefaults(xmlNodePtr e);
std::string nodeNameOf(xmlNodePtr n);
DOMNodeType typeOf(xmlNodePtr n);
std::string contentOf(xmlNodePtr n);
// Replaces the children of an element or attribute by one text node (none for "").
void replaceText(xmlNodePtr n, const std::string& text);
void setText(xmlNodePtr n, const std::string& text);

// Parse errors (DomParse.cpp).
IXMLDOMParseErrorPtr makeParseError(long code, const std::wstring& reason, const std::wstring& url,
                                    const std::wstring& src, long line, long pos, long filepos);

// The node classes' one friend: handles for libxml2 nodes and the state documents keep.
class Access {
public:
    static xmlNodePtr node(IXMLDOMNode* n) { return n ? n->node_ : nullptr; }

    static IXMLDOMNode* existing(xmlNodePtr n) {
        if (isDocNode(n)) return info(reinterpret_cast<xmlDocPtr>(n))->wrapper;
        return static_cast<IXMLDOMNode*>(n->_private);
    }

    // A handle (one new reference) for a node; every node has at most one handle object.
    static IXMLDOMNode* wrap(xmlNodePtr n) {
        if (!n) return nullptr;
        if (IXMLDOMNode* w = existing(n)) {
            w->AddRef();
            return w;
        }
        switch (n->type) {
            case XML_ELEMENT_NODE:
                return new IXMLDOMElement(n);
            case XML_TEXT_NODE:
                return new IXMLDOMText(n);
            case XML_CDATA_SECTION_NODE:
                return new IXMLDOMCDATASection(n);
            case XML_COMMENT_NODE:
                return new IXMLDOMComment(n);
            case XML_PI_NODE:
                return new IXMLDOMProcessingInstruction(n);
            case XML_ATTRIBUTE_NODE:
                return new IXMLDOMAttribute(n);
            case XML_DOCUMENT_NODE:
            case XML_HTML_DOCUMENT_NODE:
                return new IXMLDOMDocument(n);
            default:
                return new IXMLDOMNode(n);
        }
    }

    template <class I = IXMLDOMNode>
    static _com_ptr_t<I> ptr(xmlNodePtr n) {
        _com_ptr_t<I> p;
        IXMLDOMNode* w = wrap(n);
        if (!w) return p;
        p = dynamic_cast<I*>(w);
        w->Release();
        return p;
    }

    static IUnknown* createDocument() {
        xmlDocPtr d = newDoc();
        return static_cast<IDispatch*>(new IXMLDOMDocument(reinterpret_cast<xmlNodePtr>(d)));
    }

    static void registerHandle(IXMLDOMNode* w) {
        xmlNodePtr n = w->node_;
        if (isDocNode(n))
            info(reinterpret_cast<xmlDocPtr>(n))->wrapper = w; // still being constructed: keep the base
        else
            n->_private = w;
        pin(n->doc);
    }

    static void releaseHandle(IXMLDOMNode* w) {
        xmlNodePtr n = w->node_;
        xmlDocPtr d = n->doc;
        if (isDocNode(n)) {
            if (info(d)->wrapper == w) info(d)->wrapper = nullptr;
        } else {
            n->_private = nullptr;
            maybeFreeFragment(n);
        }
        unpin(d);
    }

    static void replaceDocument(IXMLDOMDocument* docObject, xmlDocPtr fresh) {
        xmlDocPtr old = reinterpret_cast<xmlDocPtr>(docObject->node_);
        if (!fresh->_private) fresh->_private = new DocInfo;
        info(fresh)->wrapper = docObject;
        pin(fresh);
        docObject->node_ = reinterpret_cast<xmlNodePtr>(fresh);
        if (info(old)->wrapper == docObject) info(old)->wrapper = nullptr;
        unpin(old);
    }

    static IXMLDOMParseErrorPtr& parseError(IXMLDOMDocument* d) { return d->parseError_; }
    static VARIANT_BOOL preserveWhiteSpace(IXMLDOMDocument* d) { return d->preserveWhiteSpace_; }
};

} // namespace xmldom
