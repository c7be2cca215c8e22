// Tree operations over libxml2: moving subtrees with their namespaces, node names, types and text.
#include "xml/DomInternal.h"

#include <string>
#include <vector>

namespace xmldom {

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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

} // namespace xmldom
