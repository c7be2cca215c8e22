#pragma once
#include "database/Parameter.h"

class CParameterTinyInt : public CParameter {
public:
    CParameterTinyInt();
    ~CParameterTinyInt() override;

    int getType() override;
    int getSize() override;
    void addParameterToCommand(_CommandPtr command) override;
    void getOutputParametersFromCommand(ParametersPtr parameters) override;
    IXMLDOMNodePtr serialize(CString namespaceURI) override;

    void setValue(unsigned char v);

private:
    unsigned char nativeValue;
};
