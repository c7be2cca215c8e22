#pragma once
// One named, directed, typed value of a stored-procedure call: its ADO type and size, its value as a
// variant ready for the command, binding, reading an output value back, and its XML form.
#include "ado/Ado.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CParameter {
public:
    CParameter();
    virtual ~CParameter();

    virtual int getType();
    virtual int getSize();
    virtual _variant_t getValue();
    virtual void addParameterToCommand(_CommandPtr command);
    virtual void getOutputParametersFromCommand(ParametersPtr parameters);
    virtual IXMLDOMNodePtr serialize(CString namespaceURI);

    _bstr_t getName();
    void setName(const _bstr_t& name);
    void setName(const wchar_t* name) { setName(_bstr_t(name)); }
    void setName(const CString& name) { setName(_bstr_t(static_cast<LPCWSTR>(name))); }
    int getDirection();
    void setDirection(int direction);

protected:
    // Shared by the typed classes: CreateParameter and Append with this parameter's state.
    _ParameterPtr bindTo(_CommandPtr command);
    // The output value of this parameter in the command's collection; VT_NULL when there is none.
    _variant_t outputValue(ParametersPtr parameters);
    // The "parameter" element with its name, type word, size and value text.
    IXMLDOMNodePtr serializeAs(CString namespaceURI, const wchar_t* typeWord, CString valueText);
    // A text longer than this parameter's size is refused, never cut.
    void checkLength(const _bstr_t& text, int limit);

    int size;
    _variant_t value;
    _bstr_t name;
    int direction;
};
