#pragma once
#include "database/Parameter.h"

class CParameterFloat : public CParameter {
public:
    CParameterFloat();
    ~CParameterFloat() override;

    int getType() override;
    int getSize() override;
    void addParameterToCommand(_CommandPtr command) override;
    void getOutputParametersFromCommand(ParametersPtr parameters) override;
    IXMLDOMNodePtr serialize(CString namespaceURI) override;

    void setValue(double v);

private:
    double nativeValue;
};
