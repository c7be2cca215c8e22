#pragma once
#include "database/Parameter.h"

class CParameterVarChar : public CParameter {
public:
    CParameterVarChar();
    ~CParameterVarChar() override;

    int getType() override;
    int getSize() override;
    void addParameterToCommand(_CommandPtr command) override;
    void getOutputParametersFromCommand(ParametersPtr parameters) override;
    IXMLDOMNodePtr serialize(CString namespaceURI) override;

    void setSize(int newSize);
    void setValue(const _bstr_t& text);
    void setValue(const wchar_t* text) { setValue(_bstr_t(text)); }
    void setValue(const CString& text) { setValue(_bstr_t(static_cast<LPCWSTR>(text))); }

private:
    _bstr_t nativeValue;
};
