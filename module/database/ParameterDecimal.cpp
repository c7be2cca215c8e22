#include "database/ParameterDecimal.h"

#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "database/DatabaseCatch.h"

KELMO_SOURCE_FILE(L"ParameterDecimal.cpp");

// Every builder sets precision and scale; a decimal without them goes as (18, 10), as the register's do.
CParameterDecimal::CParameterDecimal() : nativeValue(0.0), decimalSize(9), precision(18), numericScale(10) {}

CParameterDecimal::~CParameterDecimal() = default;

int CParameterDecimal::getType() {
    return adNumeric;
}

int CParameterDecimal::getSize() {
    return decimalSize;
}

void CParameterDecimal::setSize(int newSize) {
    decimalSize = newSize;
}

void CParameterDecimal::setPrecision(int newPrecision) {
    precision = newPrecision;
}

void CParameterDecimal::setNumericScale(int newScale) {
    numericScale = newScale;
}

int CParameterDecimal::getPrecision() {
    return precision;
}

int CParameterDecimal::getNumericScale() {
    return numericScale;
}

void CParameterDecimal::setValue(double v) {
    nativeValue = v;
    value = _variant_t(v);
}

void CParameterDecimal::addParameterToCommand(_CommandPtr command) {
    KELMO_TRY
        _ParameterPtr parameter = command->CreateParameter(
            getName(), adNumeric, static_cast<ParameterDirectionEnum>(getDirection()), getSize(), value);
        parameter->PutPrecision(static_cast<unsigned char>(precision & 0xFF));
        parameter->PutNumericScale(static_cast<unsigned char>(numericScale & 0xFF));
        command->GetParameters()->Append(parameter);
    KELMO_CATCH_COM(L"CParameterDecimal::addParameterToCommand", kelmo::catchClassLib)
}

void CParameterDecimal::getOutputParametersFromCommand(ParametersPtr parameters) {
    KELMO_TRY
        _variant_t result = outputValue(parameters);
        if (result.vt == VT_NULL || result.vt == VT_EMPTY) return; // the earlier value stays
        setValue(static_cast<double>(result));
    KELMO_CATCH_ALSO(L"CParameterDecimal::getOutputParametersFromCommand", kelmo::catchClassLib)
}

IXMLDOMNodePtr CParameterDecimal::serialize(CString namespaceURI) {
    KELMO_TRY
        return serializeAs(namespaceURI, L"decimal", CUtilities::DoubleToCString(nativeValue, 5));
    KELMO_CATCH(L"CParameterDecimal::serialize")
}
