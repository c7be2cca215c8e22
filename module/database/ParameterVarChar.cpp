#include "database/ParameterVarChar.h"

#include "core/KelmoExceptions.h"
#include "database/DatabaseCatch.h"

KELMO_SOURCE_FILE(L"ParameterVarChar.cpp");

CParameterVarChar::CParameterVarChar() : nativeValue(L"") {
    size = 255;
}

CParameterVarChar::~CParameterVarChar() = default;

int CParameterVarChar::getType() {
    return adVarChar;
}

int CParameterVarChar::getSize() {
    return size;
}

void CParameterVarChar::setSize(int newSize) {
    size = newSize;
}

void CParameterVarChar::setValue(const _bstr_t& text) {
    nativeValue = text;
    value = _variant_t(nativeValue);
}

void CParameterVarChar::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        // The register would keep only part of a longer text: refuse it instead.
        checkLength(nativeValue, size);
        bindTo(command);
    KELMO_CATCH_COM(L"CParameterVarChar::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterVarChar::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        setValue(static_cast<_bstr_t>(result));
    KELMO_CATCH_ALSO(L"CParameterVarChar::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterVarChar::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"varchar", CString(static_cast<const wchar_t*>(nativeValue)));
    KELMO_CATCH(L"CParameterVarChar::serialize")
}
