#include "database/ParameterFloat.h"

#include "database/DatabaseCatch.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"ParameterFloat.cpp");

CParameterFloat::CParameterFloat() : nativeValue(0.0) {}

CParameterFloat::~CParameterFloat() = default;

int CParameterFloat::getType() {
    return adNumeric;
}

int CParameterFloat::getSize() {
    return 8;
}

void CParameterFloat::setValue(double v) {
    nativeValue = v;
    value = _variant_t(v);
}

void CParameterFloat::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        bindTo(command);
    KELMO_CATCH_COM(L"CParameterFloat::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterFloat::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        setValue(static_cast<double>(result));
    KELMO_CATCH_ALSO(L"CParameterFloat::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterFloat::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"float", CUtilities::DoubleToCString(nativeValue, 5));
    KELMO_CATCH(L"CParameterFloat::serialize")
}
