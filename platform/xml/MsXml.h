#pragma once
// An Msxml2.DOMDocument-shaped document object model over libxml2.
//
// Objects are made with IXMLDOMDocumentPtr::CreateInstance(L"Msxml2.DOMDocument"). Methods follow
// the smart-pointer wrappers of the original component (GetnodeName, Puttext, appendChild ...) and
// throw _com_error on failure; a few raw forms (get_text, put_text, get_nodeName) return an
// HRESULT. Every node handle holds a reference; a node, and the document memory behind it, lives
// as long as any handle to it or to its document does.
#include <vector>

#include "win/ComTypes.h"

struct _xmlNode;
struct _xmlDoc;

enum DOMNodeType {
    NODE_INVALID = 0,
    NODE_ELEMENT = 1,
    NODE_ATTRIBUTE = 2,
    NODE_TEXT = 3,
    NODE_CDATA_SECTION = 4,
    NODE_ENTITY_REFERENCE = 5,
    NODE_ENTITY = 6,
    NODE_PROCESSING_INSTRUCTION = 7,
    NODE_COMMENT = 8,
    NODE_DOCUMENT = 9,
    NODE_DOCUMENT_TYPE = 10,
    NODE_DOCUMENT_FRAGMENT = 11,
    NODE_NOTATION = 12,
};

struct IXMLDOMNode;
struct IXMLDOMNodeList;
struct IXMLDOMNamedNodeMap;
struct IXMLDOMDocument;
struct IXMLDOMElement;
struct IXMLDOMParseError;
_COM_SMARTPTR_TYPEDEF(IXMLDOMNode, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMNodeList, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMNamedNodeMap, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMDocument, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMElement, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMParseError, IID_NULL);

namespace xmldom {
class Access;
}

struct IXMLDOMNode : IDispatch {
    ULONG AddRef() final;
    ULONG Release() final;
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    // Element: its qualified name; text "#text"; comment "#comment"; CDATA "#cdata-section";
    // instruction: its target; attribute: its name; document "#document".
    _bstr_t GetnodeName();
    DOMNodeType GetnodeType();
    // Null (VT_NULL) for elements and documents; the text of the others.
    _variant_t GetnodeValue();
    void PutnodeValue(const _variant_t& value);
    // The text of the node and all below it, in document order.
    _bstr_t Gettext();
    // Elements: replaces every child by one text node (none for an empty text).
    void Puttext(const _bstr_t& text);
    _bstr_t Getxml();
    _bstr_t GetnamespaceURI();
    _bstr_t Getprefix();
    _bstr_t GetbaseName();

    IXMLDOMNodePtr GetparentNode();
    IXMLDOMNodePtr GetfirstChild();
    IXMLDOMNodePtr GetlastChild();
    IXMLDOMNodePtr GetpreviousSibling();
    IXMLDOMNodePtr GetnextSibling();
    IXMLDOMNodeListPtr GetchildNodes();     // a snapshot, in document order
    IXMLDOMNamedNodeMapPtr Getattributes(); // elements only; null for other nodes
    IXMLDOMDocumentPtr GetownerDocument();
    VARIANT_BOOL hasChildNodes();

    // A node that belongs elsewhere (in this or another document) is moved here.
    IXMLDOMNodePtr appendChild(IXMLDOMNode* child);
    // An empty, null or missing reference appends.
    IXMLDOMNodePtr insertBefore(IXMLDOMNode* child, const _variant_t& reference);
    IXMLDOMNodePtr removeChild(IXMLDOMNode* child);
    IXMLDOMNodePtr replaceChild(IXMLDOMNode* child, IXMLDOMNode* old);
    IXMLDOMNodePtr cloneNode(VARIANT_BOOL deep);

    // Paths: "/", "/*", "a/b", "/root/a", "*", ".", "..", "@name", "text()", "node()". Names match
    // the node name. Anything else fails with E_INVALIDARG.
    IXMLDOMNodeListPtr selectNodes(const _bstr_t& path);
    IXMLDOMNodePtr selectSingleNode(const _bstr_t& path); // null when nothing matches

    HRESULT get_nodeName(BSTR* name);
    HRESULT get_text(BSTR* text);
    HRESULT put_text(BSTR text);

protected:
    explicit IXMLDOMNode(_xmlNode* node);
    ~IXMLDOMNode() override;

    _xmlNode* node_;

private:
    ULONG refs_ = 1;
    friend class xmldom::Access;
};

struct IXMLDOMElement : IXMLDOMNode {
    _bstr_t GettagName();
    _variant_t getAttribute(const _bstr_t& name); // VT_NULL when absent
    void setAttribute(const _bstr_t& name, const _variant_t& value);
    void removeAttribute(const _bstr_t& name);

protected:
    using IXMLDOMNode::IXMLDOMNode;
    friend class xmldom::Access;
};

struct IXMLDOMCharacterData : IXMLDOMNode {
    _bstr_t Getdata();
    void Putdata(const _bstr_t& data);
    long Getlength();

protected:
    using IXMLDOMNode::IXMLDOMNode;
    friend class xmldom::Access;
};

struct IXMLDOMText : IXMLDOMCharacterData {
protected:
    using IXMLDOMCharacterData::IXMLDOMCharacterData;
    friend class xmldom::Access;
};

struct IXMLDOMComment : IXMLDOMCharacterData {
protected:
    using IXMLDOMCharacterData::IXMLDOMCharacterData;
    friend class xmldom::Access;
};

struct IXMLDOMCDATASection : IXMLDOMText {
protected:
    using IXMLDOMText::IXMLDOMText;
    friend class xmldom::Access;
};

struct IXMLDOMProcessingInstruction : IXMLDOMNode {
    _bstr_t Gettarget();
    _bstr_t Getdata();
    void Putdata(const _bstr_t& data);

protected:
    using IXMLDOMNode::IXMLDOMNode;
    friend class xmldom::Access;
};

struct IXMLDOMAttribute : IXMLDOMNode {
    _bstr_t Getname();
    _variant_t Getvalue();
    void Putvalue(const _variant_t& value);

protected:
    using IXMLDOMNode::IXMLDOMNode;
    friend class xmldom::Access;
};

struct IXMLDOMNodeList : win::ComObject<IDispatch> {
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    long Getlength();
    IXMLDOMNodePtr Getitem(long index); // null out of range
    IXMLDOMNodePtr nextNode();          // null at the end
    void reset();
    HRESULT get_length(long* length);
    HRESULT get_item(long index, IXMLDOMNode** node);

    explicit IXMLDOMNodeList(std::vector<IXMLDOMNodePtr> nodes) : nodes_(std::move(nodes)) {}

private:
    std::vector<IXMLDOMNodePtr> nodes_;
    std::size_t cursor_ = 0;
};

struct IXMLDOMNamedNodeMap : win::ComObject<IDispatch> {
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    long Getlength();
    IXMLDOMNodePtr Getitem(long index);
    IXMLDOMNodePtr getNamedItem(const _bstr_t& name);

    explicit IXMLDOMNamedNodeMap(std::vector<IXMLDOMNodePtr> nodes) : nodes_(std::move(nodes)) {}

private:
    std::vector<IXMLDOMNodePtr> nodes_;
};

struct IXMLDOMParseError : win::ComObject<IDispatch> {
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    long GeterrorCode() { return errorCode_; } // 0 after a successful load
    _bstr_t Getreason() { return reason_; }    // ends with "\r\n" as the original's texts do
    _bstr_t Geturl() { return url_; }
    _bstr_t GetsrcText() { return srcText_; }
    long Getline() { return line_; }
    long Getlinepos() { return linepos_; }
    long Getfilepos() { return filepos_; }

    IXMLDOMParseError(long code, std::wstring reason, std::wstring url, std::wstring srcText, long line, long linepos,
                      long filepos)
        : errorCode_(code),
          reason_(std::move(reason)),
          url_(std::move(url)),
          srcText_(std::move(srcText)),
          line_(line),
          linepos_(linepos),
          filepos_(filepos) {}

private:
    long errorCode_;
    std::wstring reason_;
    std::wstring url_;
    std::wstring srcText_;
    long line_;
    long linepos_;
    long filepos_;
};

struct IXMLDOMDocument : IXMLDOMNode {
    // Replaces the content with the file's (a Windows path). False for a missing or malformed
    // file, which leaves the document empty and the reason in GetparseError().
    VARIANT_BOOL load(const _variant_t& source);
    VARIANT_BOOL loadXML(const _bstr_t& text);
    // Writes UTF-8: the declaration (from the "xml" instruction when there is one), then each
    // top-level node on its own line. The file is replaced only once the text is complete.
    void save(const _variant_t& destination);

    IXMLDOMElementPtr GetdocumentElement();
    IXMLDOMElementPtr createElement(const _bstr_t& tagName); // in no namespace
    IXMLDOMNodePtr createTextNode(const _bstr_t& data);
    IXMLDOMNodePtr createComment(const _bstr_t& data);
    IXMLDOMNodePtr createCDATASection(const _bstr_t& data);
    IXMLDOMNodePtr createProcessingInstruction(const _bstr_t& target, const _bstr_t& data);
    IXMLDOMNodePtr createAttribute(const _bstr_t& name);
    // Type as a number (1 element, 2 attribute, 3 text, 4 CDATA, 8 comment) or a name ("element").
    // An element in a namespace declares it as its default (or with the name's prefix).
    IXMLDOMNodePtr createNode(const _variant_t& type, const _bstr_t& name, const _bstr_t& namespaceURI);
    IXMLDOMParseErrorPtr GetparseError();

    VARIANT_BOOL Getasync() { return async_; }
    void Putasync(VARIANT_BOOL value) { async_ = value; } // loading is always synchronous
    VARIANT_BOOL GetpreserveWhiteSpace() { return preserveWhiteSpace_; }
    void PutpreserveWhiteSpace(VARIANT_BOOL value) { preserveWhiteSpace_ = value; }
    void PutvalidateOnParse(VARIANT_BOOL) {}
    void PutresolveExternals(VARIANT_BOOL) {}

protected:
    using IXMLDOMNode::IXMLDOMNode;
    friend class xmldom::Access;

private:
    VARIANT_BOOL async_ = VARIANT_TRUE;
    VARIANT_BOOL preserveWhiteSpace_ = VARIANT_FALSE;
    IXMLDOMParseErrorPtr parseError_;
};

using IXMLDOMDocument2 = IXMLDOMDocument;
using IXMLDOMDocument2Ptr = IXMLDOMDocumentPtr;
_COM_SMARTPTR_TYPEDEF(IXMLDOMText, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMComment, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMCDATASection, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMProcessingInstruction, IID_NULL);
_COM_SMARTPTR_TYPEDEF(IXMLDOMAttribute, IID_NULL);
