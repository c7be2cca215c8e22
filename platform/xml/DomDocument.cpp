// The document object: libxml2 documents and node handles, their lifetime, and making nodes.
#include "xml/DomInternal.h"

#include <libxml/parser.h>

#include <string>

namespace xmldom {

[[noreturn]] void fail(HRESULT hr, const std::wstring& description) {
    _com_raise_error(hr, win::makeErrorInfo(description, L"Msxml2.DOMDocument"));
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

bool validName(const std::string& name) {
    return !name.empty() && xmlValidateQName(X(name), 0) == 0;
}

namespace {

struct Registrar {
    Registrar() {
        xmlInitParser();
        for (const wchar_t* id : {L"Msxml2.DOMDocument", L"Msxml2.DOMDocument.3.0", L"Msxml2.DOMDocument.6.0",
                                  L"Microsoft.XMLDOM", L"MSXML.DOMDocument"})
            win::registerClass(id, &Access::createDocument);
    }
} g_registrar;

} // namespace
} // namespace xmldom

using xmldom::Access;
using namespace xmldom;

// ---- Documents -------------------------------------------------------------------------------

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
