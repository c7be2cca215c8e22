#pragma once
// The stored-procedure exception of the module's exception family: the failure of one procedure
// call, keeping the call's XML form (name, time, parameters) for the error log.
#include "ado/Ado.h"
#include "core/KelmoExceptions.h"

class CStoredProcedure;

class CEXStoredProcedure : public CEXKelmo {
public:
    // Source and description from the COM error.
    CEXStoredProcedure(const _com_error& error, CStoredProcedure* procedure, CString source, CString file,
                       CString function, int severity);
    // "An error occurred whilst executing [database]..[name]", with the connection's errors as the
    // inner chain, first error innermost.
    CEXStoredProcedure(_ConnectionPtr connection, CStoredProcedure* procedure, CString source, CString file,
                       CString function, int severity);

    IXMLDOMNodePtr serialize() override;
    IXMLDOMNodePtr getProcedureNode() const { return m_node; }

private:
    IXMLDOMNodePtr m_node;
};
