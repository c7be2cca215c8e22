#include "database/ParameterTinyInt.h"

#include "database/DatabaseCatch.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"ParameterTinyInt.cpp");

CParameterTinyInt::CParameterTinyInt() : nativeValue(0) {}

CParameterTinyInt::~CParameterTinyInt() = default;

int CParameterTinyInt::getType() {
    return adTinyInt;
}

int CParameterTinyInt::getSize() {
    return 1;
}

void CParameterTinyInt::setValue(unsigned char v) {
    nativeValue = v;
    value = _variant_t(static_cast<BYTE>(v));
}

void CParameterTinyInt::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        bindTo(command);
    KELMO_CATCH_COM(L"CParameterTinyInt::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterTinyInt::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        setValue(static_cast<BYTE>(result));
    KELMO_CATCH_ALSO(L"CParameterTinyInt::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterTinyInt::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"tinyInt", CUtilities::IntToCString(nativeValue));
    KELMO_CATCH(L"CParameterTinyInt::serialize")
}
