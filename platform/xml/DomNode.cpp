// Nodes: IXMLDOMNode, elements, character data, instructions, attributes, node lists and maps.
#include "xml/DomInternal.h"

#include <string>
#include <vector>

using win::fromUtf8;

namespace xmldom {
namespace {

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
