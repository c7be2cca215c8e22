#pragma once
// The ordered parameters of one stored-procedure call. The list owns what is added to it.
#include "database/Parameter.h"

class CParameters {
public:
    CParameters();
    virtual ~CParameters();
    CParameters(const CParameters&) = delete;
    CParameters& operator=(const CParameters&) = delete;

    // Takes ownership. A null pointer is refused with a module exception.
    void add(CParameter* parameter);
    CParameter* getAt(int index);
    int getCount();
    // The first parameter whose name is exactly `name`, or null.
    CParameter* getParameter(const _bstr_t& name);
    CParameter* getParameter(const wchar_t* name) { return getParameter(_bstr_t(name)); }
    void addParametersToCommand(_CommandPtr command);
    void getOutputParametersFromCommand(_CommandPtr command);
    IXMLDOMNodePtr serialize(CString namespaceURI);
    CString outToString();
    void deleteObjects();

private:
    CTypedPtrArray<CPtrArray, CParameter*> entries;
    int count;
};
