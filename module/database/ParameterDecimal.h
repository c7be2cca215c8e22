#pragma once
#include "database/Parameter.h"

class CParameterDecimal : public CParameter {
public:
    CParameterDecimal();
    ~CParameterDecimal() override;

    int getType() override;
    int getSize() override;
    void addParameterToCommand(_CommandPtr command) override;
    void getOutputParametersFromCommand(ParametersPtr parameters) override;
    IXMLDOMNodePtr serialize(CString namespaceURI) override;

    void setSize(int newSize);
    void setPrecision(int newPrecision);
    void setNumericScale(int newScale);
    int getPrecision();
    int getNumericScale();
    void setValue(double v);

private:
    double nativeValue;
    int decimalSize;
    int precision;
    int numericScale;
};
