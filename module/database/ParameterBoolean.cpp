#include "database/ParameterBoolean.h"

#include "database/DatabaseCatch.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"

KELMO_SOURCE_FILE(L"ParameterBoolean.cpp");

CParameterBoolean::CParameterBoolean() : nativeValue(0) {}

CParameterBoolean::~CParameterBoolean() = default;

int CParameterBoolean::getType() {
    return adBoolean;
}

int CParameterBoolean::getSize() {
    return 1;
}

void CParameterBoolean::setValue(int v) {
    nativeValue = v;
    // The low 16 bits as they stand: 1 is sent as 1, not as -1.
    value.Clear();
    value.vt = VT_BOOL;
    value.boolVal = static_cast<VARIANT_BOOL>(v & 0xFFFF);
}

void CParameterBoolean::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        bindTo(command);
    KELMO_CATCH_COM(L"CParameterBoolean::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterBoolean::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        // A true boolean arrives as -1, a false one as 0.
        result.ChangeType(VT_INT);
        setValue(static_cast<int>(result));
    KELMO_CATCH_ALSO(L"CParameterBoolean::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterBoolean::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"boolean", CUtilities::IntToCString(nativeValue));
    KELMO_CATCH(L"CParameterBoolean::serialize")
}
