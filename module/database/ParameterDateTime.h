#pragma once
#include "database/Parameter.h"

class CParameterDateTime : public CParameter {
public:
    CParameterDateTime();
    ~CParameterDateTime() override;

    int getType() override;
    int getSize() override;
    void addParameterToCommand(_CommandPtr command) override;
    void getOutputParametersFromCommand(ParametersPtr parameters) override;
    IXMLDOMNodePtr serialize(CString namespaceURI) override;

    // An invalid or null date-time is sent as SQL NULL.
    void setValue(const COleDateTime& dateTime);

private:
    COleDateTime nativeValue;
};
