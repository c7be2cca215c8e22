#include "database/ParameterChar.h"

#include "core/KelmoExceptions.h"
#include "database/DatabaseCatch.h"

KELMO_SOURCE_FILE(L"ParameterChar.cpp");

CParameterChar::CParameterChar() : nativeValue(L"") {
    size = 20;
}

CParameterChar::~CParameterChar() = default;

int CParameterChar::getType() {
    return adChar;
}

int CParameterChar::getSize() {
    return size;
}

void CParameterChar::setSize(int newSize) {
    size = newSize;
}

void CParameterChar::setValue(const _bstr_t& text) {
    nativeValue = text;
    value = _variant_t(nativeValue);
}

void CParameterChar::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        // The register would keep only part of a longer text: refuse it instead.
        checkLength(nativeValue, size);
        bindTo(command);
    KELMO_CATCH_COM(L"CParameterChar::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterChar::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        setValue(static_cast<_bstr_t>(result));
    KELMO_CATCH_ALSO(L"CParameterChar::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterChar::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"char", CString(static_cast<const wchar_t*>(nativeValue)));
    KELMO_CATCH(L"CParameterChar::serialize")
}
