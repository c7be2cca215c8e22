// Parsing: load and loadXML, whitespace and the declaration, and the parse error they leave.
#include "xml/DomInternal.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "win/Paths.h"
#include "win/TempNames.h"

using win::fromUtf8;

namespace xmldom {

IXMLDOMParseErrorPtr makeParseError(long code, const std::wstring& reason, const std::wstring& url,
                                    const std::wstring& src, long line, long pos, long filepos) {
    IXMLDOMParseErrorPtr p;
    p.Attach(new IXMLDOMParseError(code, reason, url, src, line, pos, filepos));
    return p;
}
} // namespace xmldom

using xmldom::Access;
using namespace xmldom;

HRESULT IXMLDOMParseError::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

// ---- Loading ---------------------------------------------------------------------------------

namespace {

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

constexpr long kObjectNotFound = static_cast<long>(0x800C0006u);
const wchar_t* const kNotFoundReason = L"The system cannot locate the object specified.\r\n";
const wchar_t* const kAccessDeniedReason = L"Access is denied.\r\n";

// The first error of a parse: later ones are only consequences of it.
struct FirstError {
    bool set = false;
    int code = 0;
    int line = 0;
    int column = 0;
    std::string message;
};
thread_local FirstError* t_firstError = nullptr;

// A document that declares entities is refused as soon as the parser meets the declaration: expanding
// them is where a small file grows without bound, and no document of the module declares any.
struct EntityWatch {
    bool declared = false;
    std::string name;
    int line = 0;
};
thread_local EntityWatch* t_entities = nullptr;

void refuseEntity(void* context, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*) {
    if (t_entities && !t_entities->declared) {
        t_entities->declared = true;
        t_entities->name = name ? reinterpret_cast<const char*>(name) : "";
        t_entities->line = xmlSAX2GetLineNumber(context);
    }
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// libxml2's own words for a document nested past its limit name an option the user cannot set.
std::string userWords(const std::string& message) {
    if (message.rfind("Excessive depth in document", 0) == 0)
        return "The document nests elements more deeply than a document may (256 levels).";
    return message;
}

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
    EntityWatch entities;
    t_entities = &entities;
    ctxt->sax->entityDecl = &refuseEntity;
    xmlDocPtr d = xmlCtxtReadMemory(ctxt, data.data(), static_cast<int>(data.size()),
                                    url.empty() ? nullptr : url.c_str(), nullptr, options);
    t_firstError = nullptr;
    t_entities = nullptr;
    if (entities.declared) {
        first.set = true;
        first.code = XML_ERR_USER_STOP;
        first.line = entities.line;
        first.column = 0;
        first.message =
            "The document declares the entity '" + entities.name + "': documents that declare entities are not read.";
    }
    if (!d || !ctxt->wellFormed || entities.declared) {
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
        std::string message =
            first.message.empty() ? std::string("The document is not well-formed.") : userWords(first.message);
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
    if (int refused = 0; found && !win::readRefusal(native, refused).empty()) {
        Access::replaceDocument(this, newDoc());
        error = makeParseError(E_ACCESSDENIED, kAccessDeniedReason, path, L"", 0, 0, 0);
        return VARIANT_FALSE;
    }
    if (found) {
        struct stat st {};
        found = ::stat(native.c_str(), &st) == 0;
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
