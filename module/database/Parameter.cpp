#include "database/Parameter.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "core/XMLUtilities.h"

KELMO_SOURCE_FILE(L"Parameter.cpp");

CParameter::CParameter() : size(0), value(0, VT_INT), direction(adParamInput) {}

CParameter::~CParameter() = default;

int CParameter::getType() {
    return adInteger;
}

int CParameter::getSize() {
    return 0;
}

_variant_t CParameter::getValue() {
    return value;
}

void CParameter::addParameterToCommand(_CommandPtr) {}

void CParameter::getOutputParametersFromCommand(ParametersPtr) {}

IXMLDOMNodePtr CParameter::serialize(CString) {
    return IXMLDOMNodePtr();
}

_bstr_t CParameter::getName() {
    return name;
}

void CParameter::setName(const _bstr_t& text) {
    name = text;
}

int CParameter::getDirection() {
    return direction;
}

void CParameter::setDirection(int newDirection) {
    direction = newDirection;
}

_ParameterPtr CParameter::bindTo(_CommandPtr command) {
    const int parameterSize = getSize();
    _ParameterPtr parameter =
        command->CreateParameter(getName(), static_cast<DataTypeEnum>(getType()),
                                 static_cast<ParameterDirectionEnum>(getDirection()), parameterSize, value);
    command->GetParameters()->Append(parameter);
    return parameter;
}

_variant_t CParameter::outputValue(ParametersPtr parameters) {
    _ParameterPtr parameter = parameters->GetItem(_variant_t(name));
    if (!parameter) return _variant_t();
    return parameter->GetValue();
}

IXMLDOMNodePtr CParameter::serializeAs(CString namespaceURI, const wchar_t* typeWord, CString valueText) {
    CXMLUtilities xml;
    IXMLDOMNodePtr node = xml.createNode(L"parameter", namespaceURI);
    node->appendChild(xml.createNode(L"parameterName", CString(static_cast<const wchar_t*>(name)), namespaceURI));
    node->appendChild(xml.createNode(L"parameterType", typeWord, namespaceURI));
    node->appendChild(xml.createNode(L"parameterSize", CUtilities::IntToCString(getSize()), namespaceURI));
    node->appendChild(xml.createNode(L"parameterValue", valueText, namespaceURI));
    return node;
}

void CParameter::checkLength(const _bstr_t& text, int limit) {
    const int length = static_cast<int>(text.length());
    if (length <= limit) return;
    CString description;
    description.Format(L"The value of parameter %s has %d characters, more than its size of %d; it was not sent.",
                       static_cast<const wchar_t*>(name) ? static_cast<const wchar_t*>(name) : L"", length, limit);
    throw new CEXCustom(description, KELMO_BANNER, kelmoSourceFile, L"CParameter::checkLength", 0, nullptr);
}
