#pragma once
#include "database/Parameter.h"

class CParameterBoolean : public CParameter {
public:
    CParameterBoolean();
    ~CParameterBoolean() override;

    int getType() override;
    int getSize() override;
    void addParameterToCommand(_CommandPtr command) override;
    void getOutputParametersFromCommand(ParametersPtr parameters) override;
    IXMLDOMNodePtr serialize(CString namespaceURI) override;

    void setValue(int v);

private:
    int nativeValue;
};
