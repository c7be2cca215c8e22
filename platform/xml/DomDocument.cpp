#include "xml/MsXml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"
#include "win/WinApi.h"

using win::fromUtf8;
using win::toUtf8;

namespace xmldom {

// What we keep with every libxml2 document: how many handles hold it, and its document object.
struct DocInfo {
    long pins = 0;
    IXMLDOMNode* wrapper = nullptr; // the document object, while one exists
};

namespace {

const xmlChar* X(const std::string& s) {
    return reinterpret_cast<const xmlChar*>(s.c_str());
}
std::string S(const xmlChar* s) {
    return s ? reinterpret_cast<const char*>(s) : std::string();
}
std::string U(const _bstr_t& b) {
    return toUtf8(b.wstr());
}
_bstr_t B(const std::string& s) {
    return _bstr_t(fromUtf8(s));
}

[[noreturn]] void fail(HRESULT hr, const std::wstring& description) {
    _com_raise_error(hr, win::makeErrorInfo(description, L"Msxml2.DOMDocument"));
}

DocInfo* info(xmlDocPtr d) {
    return static_cast<DocInfo*>(d->_private);
}

xmlDocPtr newDoc() {
    xmlDocPtr d = xmlNewDoc(X("1.0"));
    if (!d) fail(E_OUTOFMEMORY, L"Out of memory.");
    d->_private = new DocInfo;
    return d;
}

void pin(xmlDocPtr d) {
    ++info(d)->pins;
}

void unpin(xmlDocPtr d) {
    DocInfo* i = info(d);
    if (--i->pins == 0) {
        delete i;
        d->_private = nullptr;
        xmlFreeDoc(d);
    }
}

bool isDocNode(xmlNodePtr n) {
    return n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE;
}

// Whether any node of the subtree has a handle.
bool hasWrappers(xmlNodePtr n) {
    if (n->_private) return true;
    if (n->type == XML_ELEMENT_NODE)
        for (xmlAttrPtr a = n->properties; a; a = a->next)
            if (hasWrappers(reinterpret_cast<xmlNodePtr>(a))) return true;
    if (n->type != XML_ENTITY_REF_NODE)
        for (xmlNodePtr c = n->children; c; c = c->next)
            if (hasWrappers(c)) return true;
    return false;
}

void freeSubtree(xmlNodePtr n) {
    if (n->type == XML_ATTRIBUTE_NODE)
        xmlFreeProp(reinterpret_cast<xmlAttrPtr>(n));
    else
        xmlFreeNode(n);
}

// A detached subtree nobody holds any more is freed.
void maybeFreeFragment(xmlNodePtr n) {
    xmlNodePtr top = n;
    while (top->parent) top = top->parent;
    if (isDocNode(top) || hasWrappers(top)) return;
    freeSubtree(top);
}

template <class F>
void forEachNode(xmlNodePtr n, F&& f) {
    f(n);
    if (n->type == XML_ELEMENT_NODE)
        for (xmlAttrPtr a = n->properties; a; a = a->next) forEachNode(reinterpret_cast<xmlNodePtr>(a), f);
    if (n->type != XML_ENTITY_REF_NODE)
        for (xmlNodePtr c = n->children; c; c = c->next) forEachNode(c, f);
}

bool declaredWithin(xmlNodePtr n, xmlNodePtr root, xmlNsPtr ns) {
    for (xmlNodePtr e = n->type == XML_ATTRIBUTE_NODE ? n->parent : n; e; e = e->parent) {
        if (e->type == XML_ELEMENT_NODE)
            for (xmlNsPtr d = e->nsDef; d; d = d->next)
                if (d == ns) return true;
        if (e == root) break;
    }
    return false;
}

bool isXmlPrefix(xmlNsPtr ns) {
    return ns->prefix && xmlStrEqual(ns->prefix, X("xml"));
}

// After a subtree leaves its place, every namespace it uses is declared inside it.
void makeSelfContained(xmlNodePtr root) {
    forEachNode(root, [root](xmlNodePtr n) {
        if (n->type != XML_ELEMENT_NODE && n->type != XML_ATTRIBUTE_NODE) return;
        xmlNsPtr ns = n->ns;
        if (!ns || isXmlPrefix(ns) || declaredWithin(n, root, ns)) return;
        xmlNodePtr host = root->type == XML_ELEMENT_NODE ? root : (n->type == XML_ELEMENT_NODE ? n : n->parent);
        if (!host) { // a lone attribute has nowhere to declare its namespace: it leaves it
            n->ns = nullptr;
            return;
        }
        xmlNsPtr found = nullptr;
        bool clash = false;
        for (xmlNsPtr d = host->nsDef; d; d = d->next) {
            if (xmlStrEqual(d->prefix, ns->prefix)) {
                if (xmlStrEqual(d->href, ns->href))
                    found = d;
                else
                    clash = true;
            }
        }
        if (!found && clash) host = n->type == XML_ELEMENT_NODE ? n : n->parent;
        if (!found) found = xmlNewNs(host, ns->href, ns->prefix);
        for (int k = 0; !found && k < 1000; ++k) { // the prefix is taken here: declare a fresh one
            const std::string prefix = "ns" + std::to_string(k);
            found = xmlNewNs(host, ns->href, X(prefix));
        }
        if (found) n->ns = found;
    });
}

// Moves a detached, self-contained subtree into another document.
void adopt(xmlNodePtr root, xmlDocPtr target) {
    xmlDocPtr old = root->doc;
    if (old == target) return;
    std::vector<xmlNodePtr> held;
    forEachNode(root, [&held](xmlNodePtr n) {
        if (n->_private) held.push_back(n);
    });
    xmlSetTreeDoc(root, target);
    forEachNode(root, [target](xmlNodePtr n) {
        if ((n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE) && n->ns && isXmlPrefix(n->ns))
            n->ns = xmlSearchNs(target, n, X("xml"));
    });
    for (std::size_t k = 0; k < held.size(); ++k) pin(target);
    for (std::size_t k = 0; k < held.size(); ++k) unpin(old);
}

void link(xmlNodePtr child, xmlNodePtr parent, xmlNodePtr before) {
    child->parent = parent;
    if (before) {
        child->next = before;
        child->prev = before->prev;
        if (before->prev)
            before->prev->next = child;
        else
            parent->children = child;
        before->prev = child;
    } else {
        child->next = nullptr;
        child->prev = parent->last;
        if (parent->last)
            parent->last->next = child;
        else
            parent->children = child;
        parent->last = child;
    }
}

void detach(xmlNodePtr n) {
    if (!n->parent) return;
    xmlUnlinkNode(n);
    makeSelfContained(n);
}

bool emptyHref(xmlNsPtr ns) {
    return !ns || !ns->href || !*ns->href;
}

xmlNsPtr inScope(xmlNodePtr from, const xmlChar* prefix) {
    if (!from || from->type != XML_ELEMENT_NODE) return nullptr;
    return xmlSearchNs(from->doc, from, prefix);
}

void redirect(xmlNodePtr root, xmlNsPtr from, xmlNsPtr to) {
    forEachNode(root, [from, to](xmlNodePtr n) {
        if ((n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE) && n->ns == from) n->ns = to;
    });
}

// A declaration that repeats what is already in scope is dropped, so a namespace is declared
// once, where it changes.
void dropRedundant(xmlNodePtr e) {
    if (e->type != XML_ELEMENT_NODE) return;
    xmlNsPtr prev = nullptr;
    for (xmlNsPtr d = e->nsDef; d;) {
        xmlNsPtr next = d->next;
        xmlNsPtr outer = inScope(e->parent, d->prefix);
        const bool same = outer ? (xmlStrEqual(outer->href, d->href) || (emptyHref(outer) && emptyHref(d)))
                                : (d->prefix == nullptr && emptyHref(d));
        if (same) {
            redirect(e, d, emptyHref(outer) ? nullptr : outer);
            if (prev)
                prev->next = next;
            else
                e->nsDef = next;
            d->next = nullptr;
            xmlFreeNs(d);
        } else {
            prev = d;
        }
        d = next;
    }
    for (xmlNodePtr c = e->children; c; c = c->next) dropRedundant(c);
}

// An element in no namespace under a default namespace says so with xmlns="".
void undeclareDefaults(xmlNodePtr e) {
    if (e->type != XML_ELEMENT_NODE) return;
    if (!e->ns) {
        xmlNsPtr def = xmlSearchNs(e->doc, e, nullptr);
        if (def && !emptyHref(def)) xmlNewNs(e, X(""), nullptr);
    }
    for (xmlNodePtr c = e->children; c; c = c->next) undeclareDefaults(c);
}

std::string nodeNameOf(xmlNodePtr n) {
    switch (n->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
            if (n->ns && n->ns->prefix) return S(n->ns->prefix) + ":" + S(n->name);
            return S(n->name);
        case XML_TEXT_NODE:
            return "#text";
        case XML_CDATA_SECTION_NODE:
            return "#cdata-section";
        case XML_COMMENT_NODE:
            return "#comment";
        case XML_PI_NODE:
            return S(n->name);
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
            return "#document";
        case XML_DOCUMENT_FRAG_NODE:
            return "#document-fragment";
        case XML_ENTITY_REF_NODE:
            return S(n->name);
        case XML_DTD_NODE:
            return S(n->name);
        default:
            return S(n->name);
    }
}

DOMNodeType typeOf(xmlNodePtr n) {
    switch (n->type) {
        case XML_ELEMENT_NODE:
            return NODE_ELEMENT;
        case XML_ATTRIBUTE_NODE:
            return NODE_ATTRIBUTE;
        case XML_TEXT_NODE:
            return NODE_TEXT;
        case XML_CDATA_SECTION_NODE:
            return NODE_CDATA_SECTION;
        case XML_ENTITY_REF_NODE:
            return NODE_ENTITY_REFERENCE;
        case XML_ENTITY_NODE:
            return NODE_ENTITY;
        case XML_PI_NODE:
            return NODE_PROCESSING_INSTRUCTION;
        case XML_COMMENT_NODE:
            return NODE_COMMENT;
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
            return NODE_DOCUMENT;
        case XML_DTD_NODE:
        case XML_DOCUMENT_TYPE_NODE:
            return NODE_DOCUMENT_TYPE;
        case XML_DOCUMENT_FRAG_NODE:
            return NODE_DOCUMENT_FRAGMENT;
        case XML_NOTATION_NODE:
            return NODE_NOTATION;
        default:
            return NODE_INVALID;
    }
}

std::string contentOf(xmlNodePtr n) {
    xmlChar* c = xmlNodeGetContent(n);
    std::string s = S(c);
    xmlFree(c);
    return s;
}

// Replaces the children of an element or attribute by one text node (none for "").
void replaceText(xmlNodePtr n, const std::string& text) {
    for (xmlNodePtr c = n->children; c;) {
        xmlNodePtr next = c->next;
        detach(c);
        if (!hasWrappers(c)) freeSubtree(c);
        c = next;
    }
    if (!text.empty() || n->type == XML_ATTRIBUTE_NODE) {
        xmlNodePtr t = xmlNewDocText(n->doc, X(text));
        if (!t) fail(E_OUTOFMEMORY, L"Out of memory.");
        link(t, n, nullptr);
    }
}

void setText(xmlNodePtr n, const std::string& text) {
    switch (n->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
        case XML_DOCUMENT_FRAG_NODE:
            replaceText(n, text);
            break;
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            xmlNodeSetContent(n, nullptr);
            xmlNodeAddContent(n, X(text));
            break;
        default:
            fail(E_FAIL, L"This operation can not be performed on a node of this type.\r\n");
    }
}

std::string serialize(xmlNodePtr n) {
    xmlBufferPtr buf = xmlBufferCreate();
    if (!buf) fail(E_OUTOFMEMORY, L"Out of memory.");
    xmlSaveCtxtPtr ctxt = xmlSaveToBuffer(buf, "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (!ctxt) {
        xmlBufferFree(buf);
        fail(E_OUTOFMEMORY, L"Out of memory.");
    }
    xmlSaveTree(ctxt, n);
    xmlSaveClose(ctxt);
    std::string s(reinterpret_cast<const char*>(xmlBufferContent(buf)), static_cast<std::size_t>(xmlBufferLength(buf)));
    xmlBufferFree(buf);
    return s;
}

bool isDeclaration(xmlNodePtr n) {
    return n->type == XML_PI_NODE && n->name && xmlStrcasecmp(n->name, X("xml")) == 0;
}

// The declaration's data with its encoding made UTF-8, the encoding the file is written in.
std::string declarationData(const std::string& data) {
    const auto at = data.find("encoding");
    if (at == std::string::npos) return data + " encoding=\"UTF-8\"";
    std::size_t q = data.find_first_of("\"'", at);
    if (q == std::string::npos) return data;
    const std::size_t end = data.find(data[q], q + 1);
    if (end == std::string::npos) return data;
    return data.substr(0, q + 1) + "UTF-8" + data.substr(end);
}

std::string documentText(xmlDocPtr d) {
    std::string decl = "version=\"1.0\" encoding=\"UTF-8\"";
    for (xmlNodePtr c = d->children; c; c = c->next)
        if (isDeclaration(c)) {
            decl = declarationData(contentOf(c));
            break;
        }
    std::string out = "<?xml " + decl + "?>\r\n";
    for (xmlNodePtr c = d->children; c; c = c->next) {
        if (isDeclaration(c)) continue;
        out += serialize(c) + "\r\n";
    }
    return out;
}

void dropWhitespaceText(xmlNodePtr n) {
    for (xmlNodePtr c = n->children; c;) {
        xmlNodePtr next = c->next;
        if (c->type == XML_TEXT_NODE && xmlIsBlankNode(c) && xmlNodeGetSpacePreserve(n) != 1) {
            xmlUnlinkNode(c);
            xmlFreeNode(c);
        } else if (c->type == XML_ELEMENT_NODE) {
            dropWhitespaceText(c);
        }
        c = next;
    }
}

bool startsWithDeclaration(const std::string& data) {
    std::size_t i = data.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    return data.compare(i, 5, "<?xml") == 0 && i + 5 < data.size() &&
           (data[i + 5] == ' ' || data[i + 5] == '\t' || data[i + 5] == '\r' || data[i + 5] == '\n');
}

} // namespace

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

namespace {

struct Registrar {
    Registrar() {
        xmlInitParser();
        for (const wchar_t* id : {L"Msxml2.DOMDocument", L"Msxml2.DOMDocument.3.0", L"Msxml2.DOMDocument.6.0",
                                  L"Microsoft.XMLDOM", L"MSXML.DOMDocument"})
            win::registerClass(id, &Access::createDocument);
    }
} g_registrar;

xmlNodePtr required(IXMLDOMNode* n) {
    xmlNodePtr x = Access::node(n);
    if (!x) fail(E_INVALIDARG, L"The parameter is incorrect.\r\n");
    return x;
}

bool isAncestorOrSelf(xmlNodePtr candidate, xmlNodePtr n) {
    for (xmlNodePtr p = n; p; p = p->parent)
        if (p == candidate) return true;
    return false;
}

bool validName(const std::string& name) {
    return !name.empty() && xmlValidateQName(X(name), 0) == 0;
}

} // namespace
} // namespace xmldom

using xmldom::Access;
using namespace xmldom;

// ---- IXMLDOMNode -----------------------------------------------------------------------------

IXMLDOMNode::IXMLDOMNode(_xmlNode* node) : node_(node) {
    Access::registerHandle(this);
}
IXMLDOMNode::~IXMLDOMNode() = default;

ULONG IXMLDOMNode::AddRef() {
    return ++refs_;
}

ULONG IXMLDOMNode::Release() {
    const ULONG n = --refs_;
    if (n == 0) {
        Access::releaseHandle(this);
        delete this;
    }
    return n;
}

HRESULT IXMLDOMNode::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

_bstr_t IXMLDOMNode::GetnodeName() {
    return B(nodeNameOf(node_));
}
DOMNodeType IXMLDOMNode::GetnodeType() {
    return typeOf(node_);
}

_variant_t IXMLDOMNode::GetnodeValue() {
    switch (node_->type) {
        case XML_ATTRIBUTE_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            return _variant_t(B(contentOf(node_)));
        default: {
            _variant_t v;
            v.vt = VT_NULL;
            return v;
        }
    }
}

void IXMLDOMNode::PutnodeValue(const _variant_t& value) {
    if (node_->type == XML_ELEMENT_NODE || isDocNode(node_))
        fail(E_FAIL, L"This operation can not be performed on a node of this type.\r\n");
    setText(node_, U(_bstr_t(value)));
}

_bstr_t IXMLDOMNode::Gettext() {
    if (node_->type == XML_PI_NODE || node_->type == XML_COMMENT_NODE) return B(contentOf(node_));
    return B(contentOf(node_));
}

void IXMLDOMNode::Puttext(const _bstr_t& text) {
    if (isDocNode(node_)) fail(E_FAIL, L"This operation can not be performed on a node of this type.\r\n");
    setText(node_, U(text));
}

_bstr_t IXMLDOMNode::Getxml() {
    if (isDocNode(node_)) return B(documentText(reinterpret_cast<xmlDocPtr>(node_)));
    std::string text = serialize(node_);
    if (node_->type == XML_ATTRIBUTE_NODE && !text.empty() && text[0] == ' ') text.erase(0, 1);
    return B(text);
}

_bstr_t IXMLDOMNode::GetnamespaceURI() {
    if ((node_->type == XML_ELEMENT_NODE || node_->type == XML_ATTRIBUTE_NODE) && node_->ns)
        return B(S(node_->ns->href));
    return _bstr_t(L"");
}

_bstr_t IXMLDOMNode::Getprefix() {
    if ((node_->type == XML_ELEMENT_NODE || node_->type == XML_ATTRIBUTE_NODE) && node_->ns && node_->ns->prefix)
        return B(S(node_->ns->prefix));
    return _bstr_t(L"");
}

_bstr_t IXMLDOMNode::GetbaseName() {
    if (node_->type == XML_ELEMENT_NODE || node_->type == XML_ATTRIBUTE_NODE || node_->type == XML_PI_NODE)
        return B(S(node_->name));
    return _bstr_t(L"");
}

IXMLDOMNodePtr IXMLDOMNode::GetparentNode() {
    if (node_->type == XML_ATTRIBUTE_NODE) return IXMLDOMNodePtr(); // attributes have no parent
    return Access::ptr(node_->parent);
}

IXMLDOMNodePtr IXMLDOMNode::GetfirstChild() {
    return node_->type == XML_ENTITY_REF_NODE ? nullptr : Access::ptr(node_->children);
}
IXMLDOMNodePtr IXMLDOMNode::GetlastChild() {
    return node_->type == XML_ENTITY_REF_NODE ? nullptr : Access::ptr(node_->last);
}
IXMLDOMNodePtr IXMLDOMNode::GetpreviousSibling() {
    return node_->type == XML_ATTRIBUTE_NODE ? nullptr : Access::ptr(node_->prev);
}
IXMLDOMNodePtr IXMLDOMNode::GetnextSibling() {
    return node_->type == XML_ATTRIBUTE_NODE ? nullptr : Access::ptr(node_->next);
}

IXMLDOMNodeListPtr IXMLDOMNode::GetchildNodes() {
    std::vector<IXMLDOMNodePtr> nodes;
    if (node_->type != XML_ENTITY_REF_NODE)
        for (xmlNodePtr c = node_->children; c; c = c->next) nodes.push_back(Access::ptr(c));
    IXMLDOMNodeListPtr list;
    list.Attach(new IXMLDOMNodeList(std::move(nodes)));
    return list;
}

IXMLDOMNamedNodeMapPtr IXMLDOMNode::Getattributes() {
    IXMLDOMNamedNodeMapPtr map;
    if (node_->type != XML_ELEMENT_NODE) return map;
    std::vector<IXMLDOMNodePtr> nodes;
    for (xmlAttrPtr a = node_->properties; a; a = a->next)
        nodes.push_back(Access::ptr(reinterpret_cast<xmlNodePtr>(a)));
    map.Attach(new IXMLDOMNamedNodeMap(std::move(nodes)));
    return map;
}

IXMLDOMDocumentPtr IXMLDOMNode::GetownerDocument() {
    if (isDocNode(node_)) return IXMLDOMDocumentPtr();
    return Access::ptr<IXMLDOMDocument>(reinterpret_cast<xmlNodePtr>(node_->doc));
}

VARIANT_BOOL IXMLDOMNode::hasChildNodes() {
    return (node_->type != XML_ENTITY_REF_NODE && node_->children) ? VARIANT_TRUE : VARIANT_FALSE;
}

IXMLDOMNodePtr IXMLDOMNode::appendChild(IXMLDOMNode* child) {
    return insertBefore(child, vtMissing);
}

IXMLDOMNodePtr IXMLDOMNode::insertBefore(IXMLDOMNode* child, const _variant_t& reference) {
    xmlNodePtr c = required(child);
    xmlNodePtr before = nullptr;
    if (reference.vt == VT_DISPATCH || reference.vt == VT_UNKNOWN) {
        IXMLDOMNode* r = dynamic_cast<IXMLDOMNode*>(reference.punkVal);
        if (reference.punkVal && !r) fail(E_INVALIDARG, L"The parameter is incorrect.\r\n");
        before = Access::node(r);
    } else if (reference.vt != VT_EMPTY && reference.vt != VT_NULL && reference.vt != VT_ERROR) {
        fail(E_INVALIDARG, L"The parameter is incorrect.\r\n");
    }
    const bool container = node_->type == XML_ELEMENT_NODE || isDocNode(node_) || node_->type == XML_DOCUMENT_FRAG_NODE;
    if (!container) fail(E_FAIL, L"This operation can not be performed on a node of this type.\r\n");
    if (c->type == XML_ATTRIBUTE_NODE || isDocNode(c) || c->type == XML_DTD_NODE)
        fail(E_FAIL, L"This operation can not be performed on a node of this type.\r\n");
    if (isAncestorOrSelf(c, node_)) fail(E_FAIL, L"Inserting a node or its ancestor under itself is not allowed.\r\n");
    if (before && before->parent != node_)
        fail(E_INVALIDARG, L"Insert position Node must be a Child of the Node to insert under.\r\n");
    if (isDocNode(node_) && c->type == XML_ELEMENT_NODE) {
        for (xmlNodePtr k = node_->children; k; k = k->next)
            if (k->type == XML_ELEMENT_NODE && k != c)
                fail(E_FAIL, L"Only one top level element is allowed in an XML document.\r\n");
    }
    if (before == c) return IXMLDOMNodePtr(child);
    if (isDocNode(node_) && (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE))
        fail(E_FAIL, L"This operation can not be performed on a node of this type.\r\n");

    IXMLDOMNodePtr keep(child); // the node stays alive while it moves
    xmlNodePtr oldTop = c;
    while (oldTop->parent) oldTop = oldTop->parent;
    detach(c);
    // The detached tree it came from may now be held by nobody; it goes while its document lives.
    if (oldTop != c && !isDocNode(oldTop) && !isAncestorOrSelf(oldTop, node_)) maybeFreeFragment(oldTop);
    adopt(c, node_->doc);
    link(c, node_, before);
    undeclareDefaults(c);
    dropRedundant(c);
    return keep;
}

IXMLDOMNodePtr IXMLDOMNode::removeChild(IXMLDOMNode* child) {
    xmlNodePtr c = required(child);
    if (c->parent != node_ || c->type == XML_ATTRIBUTE_NODE)
        fail(E_INVALIDARG, L"The node to be removed is not a child of this node.\r\n");
    IXMLDOMNodePtr keep(child);
    detach(c);
    return keep;
}

IXMLDOMNodePtr IXMLDOMNode::replaceChild(IXMLDOMNode* child, IXMLDOMNode* old) {
    xmlNodePtr o = required(old);
    if (o->parent != node_) fail(E_INVALIDARG, L"The node to be replaced is not a child of this node.\r\n");
    IXMLDOMNodePtr keepOld(old);
    if (child == old) return keepOld;
    insertBefore(child, _variant_t(static_cast<IDispatch*>(old)));
    return removeChild(old);
}

IXMLDOMNodePtr IXMLDOMNode::cloneNode(VARIANT_BOOL deep) {
    if (isDocNode(node_)) fail(E_NOTIMPL, L"Not implemented");
    xmlNodePtr copy = node_->type == XML_ATTRIBUTE_NODE
                          ? reinterpret_cast<xmlNodePtr>(xmlCopyProp(nullptr, reinterpret_cast<xmlAttrPtr>(node_)))
                          : xmlDocCopyNode(node_, node_->doc, deep ? 1 : 2);
    if (!copy) fail(E_OUTOFMEMORY, L"Out of memory.");
    forEachNode(copy, [](xmlNodePtr n) { n->_private = nullptr; });
    makeSelfContained(copy);
    return Access::ptr(copy);
}

namespace {

// The simple location paths the module uses.
std::vector<xmlNodePtr> evaluate(xmlNodePtr context, const std::wstring& path) {
    std::vector<xmlNodePtr> current{context};
    std::wstring rest = path;
    if (!rest.empty() && rest[0] == L'/') {
        xmlNodePtr doc = reinterpret_cast<xmlNodePtr>(context->doc);
        current = {doc};
        rest.erase(0, 1);
        if (rest.empty()) return current;
    }
    if (rest.empty()) fail(E_INVALIDARG, L"Expected token 'EOF' found ''.\r\n");
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = rest.find(L'/', i);
        if (j == std::wstring::npos) j = rest.size();
        const std::wstring step = rest.substr(i, j - i);
        if (step.empty()) fail(E_INVALIDARG, L"Unsupported path: " + path + L"\r\n");
        for (wchar_t ch : step)
            if (std::wcschr(L"[]()=<>|!\"' ,$", ch) && step != L"text()" && step != L"node()")
                fail(E_INVALIDARG, L"Unsupported path: " + path + L"\r\n");
        const std::string name = toUtf8(step);
        std::vector<xmlNodePtr> next;
        std::set<xmlNodePtr> seen;
        auto add = [&](xmlNodePtr n) {
            if (n && seen.insert(n).second) next.push_back(n);
        };
        for (xmlNodePtr c : current) {
            if (step == L".") {
                add(c);
            } else if (step == L"..") {
                if (c->type != XML_ATTRIBUTE_NODE)
                    add(c->parent);
                else
                    add(c->parent);
            } else if (step[0] == L'@') {
                if (c->type != XML_ELEMENT_NODE) continue;
                const std::string attr = name.substr(1);
                for (xmlAttrPtr a = c->properties; a; a = a->next)
                    if (attr == "*" || nodeNameOf(reinterpret_cast<xmlNodePtr>(a)) == attr)
                        add(reinterpret_cast<xmlNodePtr>(a));
            } else if (c->type != XML_ENTITY_REF_NODE) {
                for (xmlNodePtr k = c->children; k; k = k->next) {
                    if (step == L"node()")
                        add(k);
                    else if (step == L"text()")
                        (k->type == XML_TEXT_NODE || k->type == XML_CDATA_SECTION_NODE) ? add(k) : void();
                    else if (k->type == XML_ELEMENT_NODE && (step == L"*" || nodeNameOf(k) == name))
                        add(k);
                }
            }
        }
        current = std::move(next);
        i = j + 1;
    }
    return current;
}

} // namespace

IXMLDOMNodeListPtr IXMLDOMNode::selectNodes(const _bstr_t& path) {
    std::vector<IXMLDOMNodePtr> nodes;
    for (xmlNodePtr n : evaluate(node_, path.wstr())) nodes.push_back(Access::ptr(n));
    IXMLDOMNodeListPtr list;
    list.Attach(new IXMLDOMNodeList(std::move(nodes)));
    return list;
}

IXMLDOMNodePtr IXMLDOMNode::selectSingleNode(const _bstr_t& path) {
    const auto found = evaluate(node_, path.wstr());
    return found.empty() ? IXMLDOMNodePtr() : Access::ptr(found.front());
}

namespace {
template <class F>
HRESULT guarded(F&& f) {
    try {
        f();
        return S_OK;
    } catch (const _com_error& e) {
        return e.Error();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
} // namespace

HRESULT IXMLDOMNode::get_nodeName(BSTR* name) {
    if (!name) return E_POINTER;
    return guarded([&] { *name = GetnodeName().copy(); });
}

HRESULT IXMLDOMNode::get_text(BSTR* text) {
    if (!text) return E_POINTER;
    return guarded([&] { *text = Gettext().copy(); });
}

HRESULT IXMLDOMNode::put_text(BSTR text) {
    return guarded([&] { Puttext(_bstr_t(text ? text : L"")); });
}

// ---- Elements, character data, instructions, attributes --------------------------------------

_bstr_t IXMLDOMElement::GettagName() {
    return GetnodeName();
}

namespace {
xmlAttrPtr findAttribute(xmlNodePtr e, const std::string& name) {
    for (xmlAttrPtr a = e->properties; a; a = a->next)
        if (nodeNameOf(reinterpret_cast<xmlNodePtr>(a)) == name) return a;
    return nullptr;
}
} // namespace

_variant_t IXMLDOMElement::getAttribute(const _bstr_t& name) {
    xmlAttrPtr a = findAttribute(node_, U(name));
    if (!a) {
        _variant_t v;
        v.vt = VT_NULL;
        return v;
    }
    return _variant_t(B(contentOf(reinterpret_cast<xmlNodePtr>(a))));
}

void IXMLDOMElement::setAttribute(const _bstr_t& name, const _variant_t& value) {
    const std::string n = U(name);
    if (!validName(n)) fail(E_FAIL, L"Invalid attribute name.\r\n");
    const std::string v = U(_bstr_t(value));
    if (xmlAttrPtr a = findAttribute(node_, n)) {
        replaceText(reinterpret_cast<xmlNodePtr>(a), v);
        return;
    }
    xmlNsPtr ns = nullptr;
    std::string local = n;
    if (const auto colon = n.find(':'); colon != std::string::npos) {
        ns = xmlSearchNs(node_->doc, node_, X(n.substr(0, colon)));
        if (!ns) fail(E_FAIL, L"Reference to undeclared namespace prefix.\r\n");
        local = n.substr(colon + 1);
    }
    if (!xmlNewNsProp(node_, ns, X(local), X(v))) fail(E_OUTOFMEMORY, L"Out of memory.");
}

void IXMLDOMElement::removeAttribute(const _bstr_t& name) {
    xmlAttrPtr a = findAttribute(node_, U(name));
    if (!a) return;
    auto* n = reinterpret_cast<xmlNodePtr>(a);
    xmlUnlinkNode(n);
    makeSelfContained(n);
    if (!hasWrappers(n)) xmlFreeProp(a);
}

_bstr_t IXMLDOMCharacterData::Getdata() {
    return B(contentOf(node_));
}
void IXMLDOMCharacterData::Putdata(const _bstr_t& data) {
    setText(node_, U(data));
}
long IXMLDOMCharacterData::Getlength() {
    return static_cast<long>(fromUtf8(contentOf(node_)).size());
}

_bstr_t IXMLDOMProcessingInstruction::Gettarget() {
    return B(S(node_->name));
}
_bstr_t IXMLDOMProcessingInstruction::Getdata() {
    return B(contentOf(node_));
}
void IXMLDOMProcessingInstruction::Putdata(const _bstr_t& data) {
    setText(node_, U(data));
}

_bstr_t IXMLDOMAttribute::Getname() {
    return GetnodeName();
}
_variant_t IXMLDOMAttribute::Getvalue() {
    return _variant_t(B(contentOf(node_)));
}
void IXMLDOMAttribute::Putvalue(const _variant_t& value) {
    setText(node_, U(_bstr_t(value)));
}

// ---- Lists -----------------------------------------------------------------------------------

HRESULT IXMLDOMNodeList::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}
long IXMLDOMNodeList::Getlength() {
    return static_cast<long>(nodes_.size());
}
IXMLDOMNodePtr IXMLDOMNodeList::Getitem(long index) {
    if (index < 0 || static_cast<std::size_t>(index) >= nodes_.size()) return IXMLDOMNodePtr();
    return nodes_[static_cast<std::size_t>(index)];
}
IXMLDOMNodePtr IXMLDOMNodeList::nextNode() {
    if (cursor_ >= nodes_.size()) return IXMLDOMNodePtr();
    return nodes_[cursor_++];
}
void IXMLDOMNodeList::reset() {
    cursor_ = 0;
}
HRESULT IXMLDOMNodeList::get_length(long* length) {
    if (!length) return E_POINTER;
    *length = Getlength();
    return S_OK;
}
HRESULT IXMLDOMNodeList::get_item(long index, IXMLDOMNode** node) {
    if (!node) return E_POINTER;
    *node = Getitem(index).Detach();
    return *node ? S_OK : S_FALSE;
}

HRESULT IXMLDOMNamedNodeMap::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}
long IXMLDOMNamedNodeMap::Getlength() {
    return static_cast<long>(nodes_.size());
}
IXMLDOMNodePtr IXMLDOMNamedNodeMap::Getitem(long index) {
    if (index < 0 || static_cast<std::size_t>(index) >= nodes_.size()) return IXMLDOMNodePtr();
    return nodes_[static_cast<std::size_t>(index)];
}
IXMLDOMNodePtr IXMLDOMNamedNodeMap::getNamedItem(const _bstr_t& name) {
    for (auto& n : nodes_)
        if (n->GetnodeName() == name) return n;
    return IXMLDOMNodePtr();
}

HRESULT IXMLDOMParseError::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

// ---- Documents -------------------------------------------------------------------------------

namespace {

constexpr long kObjectNotFound = static_cast<long>(0x800C0006u);
const wchar_t* const kNotFoundReason = L"The system cannot locate the object specified.\r\n";

IXMLDOMParseErrorPtr makeParseError(long code, const std::wstring& reason, const std::wstring& url,
                                    const std::wstring& src, long line, long pos, long filepos) {
    IXMLDOMParseErrorPtr p;
    p.Attach(new IXMLDOMParseError(code, reason, url, src, line, pos, filepos));
    return p;
}

// The first error of a parse: later ones are only consequences of it.
struct FirstError {
    bool set = false;
    int code = 0;
    int line = 0;
    int column = 0;
    std::string message;
};
thread_local FirstError* t_firstError = nullptr;

void recordError(void*, xmlErrorPtr e) {
    if (!t_firstError || t_firstError->set || !e || e->level < XML_ERR_ERROR) return;
    t_firstError->set = true;
    t_firstError->code = e->code;
    t_firstError->line = e->line;
    t_firstError->column = e->int2;
    t_firstError->message = e->message ? e->message : "";
}

// Parses text into a fresh document, or returns null with the parse error filled in.
xmlDocPtr parse(const std::string& data, const std::string& url, const std::wstring& windowsUrl, bool keepBlanks,
                IXMLDOMParseErrorPtr& error) {
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) fail(E_OUTOFMEMORY, L"Out of memory.");
    const int options = XML_PARSE_NODICT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    FirstError first;
    t_firstError = &first;
    ctxt->sax->serror = &recordError;
    xmlDocPtr d = xmlCtxtReadMemory(ctxt, data.data(), static_cast<int>(data.size()),
                                    url.empty() ? nullptr : url.c_str(), nullptr, options);
    t_firstError = nullptr;
    if (!d || !ctxt->wellFormed) {
        if (d) xmlFreeDoc(d);
        d = nullptr;
        const xmlError* e = xmlCtxtGetLastError(ctxt);
        if (!first.set && e) {
            first.set = true;
            first.code = e->code;
            first.line = e->line;
            first.column = e->int2;
            first.message = e->message ? e->message : "";
        }
        std::string message = first.message.empty() ? std::string("The document is not well-formed.") : first.message;
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
        std::string lineText;
        const long line = first.line;
        if (line > 0) {
            std::istringstream in(data);
            for (long k = 0; k < line && std::getline(in, lineText); ++k) {}
            if (!lineText.empty() && lineText.back() == '\r') lineText.pop_back();
        }
        const long code = static_cast<long>(0xC00CE000u | static_cast<unsigned>(first.set ? (first.code & 0x1FF) : 1));
        error =
            makeParseError(code, fromUtf8(message) + L"\r\n", windowsUrl, fromUtf8(lineText), line, first.column, 0);
    } else {
        error = makeParseError(0, L"", windowsUrl, L"", 0, 0, 0);
    }
    xmlFreeParserCtxt(ctxt);
    if (!d) return nullptr;
    if (!keepBlanks) dropWhitespaceText(reinterpret_cast<xmlNodePtr>(d));
    // The declaration stays visible as the "xml" instruction, as the original component shows it.
    if (startsWithDeclaration(data)) {
        std::string decl = "version=\"" + (d->version ? S(d->version) : std::string("1.0")) + "\"";
        if (d->encoding) decl += " encoding=\"" + S(d->encoding) + "\"";
        if (d->standalone == 1) decl += " standalone=\"yes\"";
        xmlNodePtr pi = xmlNewDocPI(d, X("xml"), X(decl));
        if (pi) {
            if (d->children)
                link(pi, reinterpret_cast<xmlNodePtr>(d), d->children);
            else
                link(pi, reinterpret_cast<xmlNodePtr>(d), nullptr);
        }
    }
    return d;
}

} // namespace

VARIANT_BOOL IXMLDOMDocument::load(const _variant_t& source) {
    if (source.vt != VT_BSTR) fail(E_INVALIDARG, L"The parameter is incorrect.\r\n");
    const std::wstring path = source.bstrVal ? source.bstrVal : L"";
    auto& error = Access::parseError(this);
    std::string native;
    DWORD err = 0;
    std::string data;
    bool found = win::mapToNative(path.c_str(), native, &err);
    if (found) {
        struct stat st {};
        found = ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        if (found) {
            std::ifstream in(native, std::ios::binary);
            found = static_cast<bool>(in);
            data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    if (!found) {
        Access::replaceDocument(this, newDoc());
        error = makeParseError(kObjectNotFound, kNotFoundReason, path, L"", 0, 0, 0);
        return VARIANT_FALSE;
    }
    xmlDocPtr d = parse(data, native, path, Access::preserveWhiteSpace(this) != VARIANT_FALSE, error);
    Access::replaceDocument(this, d ? d : newDoc());
    return d ? VARIANT_TRUE : VARIANT_FALSE;
}

VARIANT_BOOL IXMLDOMDocument::loadXML(const _bstr_t& text) {
    auto& error = Access::parseError(this);
    xmlDocPtr d = parse(U(text), "", L"", Access::preserveWhiteSpace(this) != VARIANT_FALSE, error);
    Access::replaceDocument(this, d ? d : newDoc());
    return d ? VARIANT_TRUE : VARIANT_FALSE;
}

void IXMLDOMDocument::save(const _variant_t& destination) {
    if (destination.vt != VT_BSTR) fail(E_INVALIDARG, L"The parameter is incorrect.\r\n");
    const std::wstring path = destination.bstrVal ? destination.bstrVal : L"";
    std::string native;
    DWORD err = 0;
    if (!win::mapToNative(path.c_str(), native, &err)) fail(HRESULT_FROM_WIN32(err), win::systemMessage(err));
    struct stat st {};
    const bool exists = ::stat(native.c_str(), &st) == 0;
    const bool readOnly = !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) || ::access(native.c_str(), W_OK) != 0;
    if (exists && (S_ISDIR(st.st_mode) || readOnly)) fail(E_ACCESSDENIED, win::systemMessage(ERROR_ACCESS_DENIED));
    const std::string text = documentText(reinterpret_cast<xmlDocPtr>(node_));

    // Write beside the target and rename over it: the old file survives any failure.
    const auto slash = native.rfind('/');
    const std::string folder = slash == 0 ? "/" : native.substr(0, slash);
    std::string temp = folder + "/." + win::nameForTemporary(native.substr(slash + 1), 8) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        const DWORD code = win::errorFromErrno(errno, native);
        fail(HRESULT_FROM_WIN32(code), win::systemMessage(code));
    }
    temp = name.data();
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        ok = w > 0;
        if (ok) done += static_cast<std::size_t>(w);
    }
    int e = errno;
    ::fchmod(fd, exists ? (st.st_mode & 07777) : 0644);
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    if (ok && ::rename(temp.c_str(), native.c_str()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        const DWORD code = win::errorFromErrno(e, native);
        fail(HRESULT_FROM_WIN32(code), win::systemMessage(code));
    }
}

IXMLDOMElementPtr IXMLDOMDocument::GetdocumentElement() {
    return Access::ptr<IXMLDOMElement>(xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(node_)));
}

namespace {
xmlNodePtr checked(xmlNodePtr n) {
    if (!n) fail(E_OUTOFMEMORY, L"Out of memory.");
    return n;
}
} // namespace

IXMLDOMElementPtr IXMLDOMDocument::createElement(const _bstr_t& tagName) {
    const std::string n = U(tagName);
    if (!validName(n) || n.find(':') != std::string::npos)
        fail(E_FAIL, L"This name may not contain the given character.\r\n");
    return Access::ptr<IXMLDOMElement>(
        checked(xmlNewDocNode(reinterpret_cast<xmlDocPtr>(node_), nullptr, X(n), nullptr)));
}

IXMLDOMNodePtr IXMLDOMDocument::createTextNode(const _bstr_t& data) {
    return Access::ptr(checked(xmlNewDocText(reinterpret_cast<xmlDocPtr>(node_), X(U(data)))));
}

IXMLDOMNodePtr IXMLDOMDocument::createComment(const _bstr_t& data) {
    return Access::ptr(checked(xmlNewDocComment(reinterpret_cast<xmlDocPtr>(node_), X(U(data)))));
}

IXMLDOMNodePtr IXMLDOMDocument::createCDATASection(const _bstr_t& data) {
    const std::string d = U(data);
    return Access::ptr(checked(xmlNewCDataBlock(reinterpret_cast<xmlDocPtr>(node_), X(d), static_cast<int>(d.size()))));
}

IXMLDOMNodePtr IXMLDOMDocument::createProcessingInstruction(const _bstr_t& target, const _bstr_t& data) {
    const std::string t = U(target);
    if (!validName(t) || t.find(':') != std::string::npos) fail(E_FAIL, L"Invalid processing instruction target.\r\n");
    return Access::ptr(checked(xmlNewDocPI(reinterpret_cast<xmlDocPtr>(node_), X(t), X(U(data)))));
}

IXMLDOMNodePtr IXMLDOMDocument::createAttribute(const _bstr_t& name) {
    const std::string n = U(name);
    if (!validName(n)) fail(E_FAIL, L"Invalid attribute name.\r\n");
    return Access::ptr(
        checked(reinterpret_cast<xmlNodePtr>(xmlNewDocProp(reinterpret_cast<xmlDocPtr>(node_), X(n), nullptr))));
}

IXMLDOMNodePtr IXMLDOMDocument::createNode(const _variant_t& type, const _bstr_t& name, const _bstr_t& namespaceURI) {
    long kind = 0;
    if (type.vt == VT_BSTR) {
        const std::wstring t = type.bstrVal ? type.bstrVal : L"";
        if (t == L"element")
            kind = NODE_ELEMENT;
        else if (t == L"attribute")
            kind = NODE_ATTRIBUTE;
        else if (t == L"text")
            kind = NODE_TEXT;
        else if (t == L"cdatasection")
            kind = NODE_CDATA_SECTION;
        else if (t == L"comment")
            kind = NODE_COMMENT;
    } else {
        kind = static_cast<long>(type);
    }
    const std::string n = U(name);
    const std::string uri = U(namespaceURI);
    xmlDocPtr d = reinterpret_cast<xmlDocPtr>(node_);
    switch (kind) {
        case NODE_ELEMENT:
        case NODE_ATTRIBUTE: {
            if (!validName(n)) fail(E_FAIL, L"Invalid node name.\r\n");
            const auto colon = n.find(':');
            const std::string prefix = colon == std::string::npos ? std::string() : n.substr(0, colon);
            const std::string local = colon == std::string::npos ? n : n.substr(colon + 1);
            if (!prefix.empty() && uri.empty()) fail(E_FAIL, L"Reference to undeclared namespace prefix.\r\n");
            if (kind == NODE_ELEMENT) {
                xmlNodePtr e = checked(xmlNewDocNode(d, nullptr, X(local), nullptr));
                if (!uri.empty()) {
                    xmlNsPtr ns = xmlNewNs(e, X(uri), prefix.empty() ? nullptr : X(prefix));
                    if (!ns) {
                        xmlFreeNode(e);
                        fail(E_OUTOFMEMORY, L"Out of memory.");
                    }
                    xmlSetNs(e, ns);
                }
                return Access::ptr(e);
            }
            if (!uri.empty() && prefix.empty()) fail(E_FAIL, L"An attribute in a namespace needs a prefix.\r\n");
            xmlNodePtr a = checked(reinterpret_cast<xmlNodePtr>(xmlNewDocProp(d, X(local), nullptr)));
            if (!uri.empty()) {
                // The declaration lives in the document until the attribute is placed on an element.
                a->ns = xmlSearchNsByHref(d, reinterpret_cast<xmlNodePtr>(d), X(uri));
            }
            return Access::ptr(a);
        }
        case NODE_TEXT:
            return createTextNode(_bstr_t(L""));
        case NODE_CDATA_SECTION:
            return createCDATASection(_bstr_t(L""));
        case NODE_COMMENT:
            return createComment(_bstr_t(L""));
        default:
            fail(E_INVALIDARG, L"The parameter is incorrect.\r\n");
    }
}

IXMLDOMParseErrorPtr IXMLDOMDocument::GetparseError() {
    auto& error = Access::parseError(this);
    if (!error) error = makeParseError(0, L"", L"", L"", 0, 0, 0);
    return error;
}
