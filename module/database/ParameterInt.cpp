#include "database/ParameterInt.h"

#include "database/DatabaseCatch.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"ParameterInt.cpp");

CParameterInt::CParameterInt() : nativeValue(0) {}

CParameterInt::~CParameterInt() = default;

int CParameterInt::getType() {
    return adInteger;
}

int CParameterInt::getSize() {
    return 4;
}

void CParameterInt::setValue(int v) {
    nativeValue = v;
    value = _variant_t(static_cast<long>(v));
}

void CParameterInt::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        bindTo(command);
    KELMO_CATCH_COM(L"CParameterInt::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterInt::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        setValue(static_cast<int>(static_cast<long>(result)));
    KELMO_CATCH_ALSO(L"CParameterInt::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterInt::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"int", CUtilities::LongToCString(nativeValue));
    KELMO_CATCH(L"CParameterInt::serialize")
}
