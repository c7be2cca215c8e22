#include "database/ParameterDateTime.h"

#include "core/KelmoExceptions.h"
#include "database/DatabaseCatch.h"

KELMO_SOURCE_FILE(L"ParameterDateTime.cpp");

CParameterDateTime::CParameterDateTime() : nativeValue(static_cast<DATE>(0.0)) {}

CParameterDateTime::~CParameterDateTime() = default;

int CParameterDateTime::getType() {
    return adDBTimeStamp;
}

int CParameterDateTime::getSize() {
    return 0;
}

void CParameterDateTime::setValue(const COleDateTime& dateTime) {
    nativeValue = dateTime;
    if (dateTime.GetStatus() != COleDateTime::valid) {
        // The day count of a date that is not valid means nothing: the register gets no date.
        value.Clear();
        value.vt = VT_NULL;
        return;
    }
    value = _variant_t(static_cast<DATE>(dateTime), VT_DATE);
}

void CParameterDateTime::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        bindTo(command);
    KELMO_CATCH_COM(L"CParameterDateTime::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterDateTime::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        result.ChangeType(VT_DATE);
        setValue(COleDateTime(result.date));
    KELMO_CATCH_ALSO(L"CParameterDateTime::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterDateTime::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"dateTime", nativeValue.Format(L"%Y%m%d%Hh%M%S_"));
    KELMO_CATCH(L"CParameterDateTime::serialize")
}
