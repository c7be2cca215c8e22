#include "core/XMLUtilities.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"XMLUtilities.cpp");

namespace {
constexpr DWORD anyServer = 23; // in-process server and handler, local and remote server

bool xmlCharacter(wchar_t c) {
    const auto code = static_cast<unsigned long>(c);
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

CString xmlText(const CString& text) {
    CString written = text;
    for (int i = 0; i < written.GetLength(); ++i)
        if (!xmlCharacter(written[i])) written.SetAt(i, L'\xFFFD');
    return written;
}
} // namespace

bool CXMLUtilities::holdsNonXMLCharacters(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i)
        if (!xmlCharacter(text[i])) return true;
    return false;
}

CXMLUtilities::CXMLUtilities() {
    KELMO_TRY
        CoInitialize(nullptr);
        m_document.CreateInstance(L"Msxml2.DOMDocument", nullptr, anyServer);
    KELMO_CATCH(L"CXMLUtilities::CXMLUtilities")
}

CXMLUtilities::~CXMLUtilities() {
    // A destructor lets nothing out: a failure is shown and the work goes on.
    try {
        m_document.Release();
        CoUninitialize();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CXMLUtilities::~CXMLUtilities");
    }
}

void CXMLUtilities::createXMLDoc(CString path, CString stylesheet, CString rootName, CString namespaceURI) {
    IXMLDOMDocumentPtr document;
    KELMO_TRY
        document = newXMLDoc(stylesheet, rootName, namespaceURI);
    KELMO_CATCH(L"CXMLUtilities::createXMLDoc")
    try {
        document->save(_variant_t(path));
    } catch (const _com_error& error) {
        // A file that cannot be written is named with the reason, as the CSV export names its own.
        CString reason = error.Description().length() ? CString(static_cast<const wchar_t*>(error.Description()))
                                                      : CString(error.ErrorMessage());
        reason.Trim();
        throw new CEXUnhandled(path + L" - " + reason, KELMO_BANNER, kelmoSourceFile, L"CXMLUtilities::createXMLDoc",
                               0);
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, L"CXMLUtilities::createXMLDoc");
    }
}

IXMLDOMDocumentPtr CXMLUtilities::newXMLDoc(CString stylesheet, CString rootName, CString namespaceURI) {
    KELMO_TRY
        IXMLDOMDocumentPtr document;
        document.CreateInstance(L"Msxml2.DOMDocument", nullptr, anyServer);
        document->insertBefore(document->createProcessingInstruction(L"xml", L"version=\"1.0\" encoding=\"UTF-8\""),
                               _variant_t());
        if (!stylesheet.IsEmpty()) {
            const CString data = L"type=\"text/xsl\" href=\"" + stylesheet + L"\"";
            document->insertBefore(document->createProcessingInstruction(L"xml-stylesheet", data.GetString()),
                                   _variant_t());
        }
        if (!namespaceURI.IsEmpty()) {
            document->appendChild(document->createNode(_variant_t(static_cast<short>(NODE_ELEMENT)),
                                                       _bstr_t(rootName.GetString()),
                                                       _bstr_t(namespaceURI.GetString())));
        } else {
            document->appendChild(document->createElement(_bstr_t(rootName.GetString())));
        }
        return document;
    KELMO_CATCH(L"CXMLUtilities::newXMLDoc")
}

IXMLDOMNodePtr CXMLUtilities::createNode(CString name, CString namespaceURI) {
    KELMO_TRY
        return m_document->createNode(_variant_t(static_cast<short>(NODE_ELEMENT)), _bstr_t(name.GetString()),
                                      _bstr_t(namespaceURI.GetString()));
    KELMO_CATCH(L"CXMLUtilities::createNode")
}

IXMLDOMNodePtr CXMLUtilities::createNode(CString name, CString text, CString namespaceURI) {
    KELMO_TRY
        IXMLDOMNodePtr node = m_document->createNode(_variant_t(static_cast<short>(NODE_ELEMENT)),
                                                     _bstr_t(name.GetString()), _bstr_t(namespaceURI.GetString()));
        node->Puttext(_bstr_t(xmlText(text).GetString()));
        return node;
    KELMO_CATCH(L"CXMLUtilities::createNode")
}

IXMLDOMNodePtr CXMLUtilities::createUniversalTimeNode(CString namespaceURI, COleDateTime time) {
    KELMO_TRY
        IXMLDOMNodePtr date = createNode(L"date", namespaceURI);
        const bool valid = time.GetStatus() == COleDateTime::valid;
        const int fields[] = {
            valid ? time.GetYear() : -1, valid ? time.GetMonth() : -1,  valid ? time.GetDay() : -1,
            valid ? time.GetHour() : -1, valid ? time.GetMinute() : -1, valid ? time.GetSecond() : -1,
        };
        const wchar_t* names[] = {L"year", L"month", L"day", L"hour", L"minute", L"second"};
        for (int i = 0; i < 6; ++i) {
            date->appendChild(createNode(names[i], CUtilities::IntToCString(fields[i]), namespaceURI));
        }
        return date;
    KELMO_CATCH(L"CXMLUtilities::createUniversalTimeNode")
}
