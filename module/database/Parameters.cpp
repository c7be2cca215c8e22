#include "database/Parameters.h"

#include "core/KelmoExceptions.h"
#include "core/XMLUtilities.h"
#include "database/DatabaseCatch.h"

#include <cwchar>

KELMO_SOURCE_FILE(L"Parameters.cpp");

CParameters::CParameters() : count(0) {}

CParameters::~CParameters() {
    try {
        deleteObjects();
    } catch (...) {
        kelmo::reportWrapped(kelmoSourceFile, L"CParameters::~CParameters");
    }
}

void CParameters::add(CParameter* parameter) {
    if (parameter == nullptr)
        throw new CEXCustom(L"A parameter list cannot hold a null parameter.", KELMO_BANNER, kelmoSourceFile,
                            L"CParameters::add", 0, nullptr);
    entries.Add(parameter);
    ++count;
}

CParameter* CParameters::getAt(int index) {
    if (index < 0 || index >= count) AfxThrowInvalidArgException();
    return entries.GetAt(index);
}

int CParameters::getCount() {
    return count;
}

CParameter* CParameters::getParameter(const _bstr_t& name) {
    KELMO_TRY
        const wchar_t* wanted = static_cast<const wchar_t*>(name);
        for (int i = 0; i < count; ++i) {
            CParameter* parameter = entries.GetAt(i);
            if (parameter == nullptr) continue;
            const _bstr_t held = parameter->getName();
            const wchar_t* text = static_cast<const wchar_t*>(held);
            if (std::wcscmp(text ? text : L"", wanted ? wanted : L"") == 0) return parameter;
        }
        return nullptr;
    KELMO_CATCH_ALSO(L"CParameters::getParameter", kelmo::catchClassLib)
}

void CParameters::addParametersToCommand(_CommandPtr command) {
    KELMO_TRY
        for (int i = 0; i < count; ++i) entries.GetAt(i)->addParameterToCommand(command);
    KELMO_CATCH_COM(L"CParameters::addParametersToCommand", kelmo::catchClassLib)
}

void CParameters::getOutputParametersFromCommand(_CommandPtr command) {
    KELMO_TRY
        for (int i = 0; i < count; ++i) {
            CParameter* parameter = entries.GetAt(i);
            const int direction = parameter->getDirection();
            if (direction == adParamOutput || direction == adParamInputOutput)
                parameter->getOutputParametersFromCommand(command->GetParameters());
        }
    KELMO_CATCH_ALSO(L"CParameters::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameters::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr node = xml.createNode(L"parameters", namespaceURI);
        for (int i = 0; i < count; ++i) node->appendChild(entries.GetAt(i)->serialize(namespaceURI));
        return node;
    KELMO_CATCH(L"CParameters::serialize")
}

CString CParameters::outToString() {
    KELMO_TRY
        CString text;
        for (int i = 0; i < count; ++i) {
            CParameter* parameter = entries.GetAt(i);
            const _bstr_t name = parameter->getName();
            _variant_t value = parameter->getValue();
            CString valueText;
            if (value.vt == VT_BSTR) {
                valueText = static_cast<const wchar_t*>(value.bstrVal);
            } else if (value.vt != VT_NULL && value.vt != VT_EMPTY) {
                value.ChangeType(VT_BSTR);
                valueText = static_cast<const wchar_t*>(value.bstrVal);
            }
            // Each text passes through a buffer of 255 characters.
            CString nameText = CString(static_cast<const wchar_t*>(name)).Left(254);
            text += L"\tParameters\n";
            text += L"\t\tName: " + nameText;
            text += L"\t\tValue: " + valueText.Left(254);
            text += L"\n";
        }
        return text;
    KELMO_CATCH_ALSO(L"CParameters::outToString", kelmo::catchClassLib)
}

void CParameters::deleteObjects() {
    KELMO_TRY
        for (int i = 0; i < count; ++i) {
            CParameter* parameter = entries.GetAt(i);
            entries.SetAt(i, nullptr);
            delete parameter;
        }
        entries.RemoveAll();
        count = 0;
    KELMO_CATCH(L"CParameters::deleteObjects")
}
