// selectNodes and selectSingleNode: location paths of child steps from a node.
#include "xml/DomInternal.h"

#include <cwchar>
#include <set>
#include <string>
#include <vector>

using win::toUtf8;
using xmldom::Access;
using namespace xmldom;

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
