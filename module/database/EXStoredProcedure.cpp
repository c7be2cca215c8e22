#include "database/EXStoredProcedure.h"

#include "core/Globals.h"
#include "database/StoredProcedure.h"

namespace {

IXMLDOMNodePtr procedureNode(CStoredProcedure* procedure) {
    if (procedure == nullptr) return IXMLDOMNodePtr();
    return procedure->serialize(CString(KELMO_NAMESPACE_URI) + L"/errors");
}

CString executingText(_ConnectionPtr connection, CStoredProcedure* procedure) {
    CString database = connection ? CString(static_cast<const wchar_t*>(connection->GetDefaultDatabase())) : CString();
    CString name = procedure ? CString(static_cast<const wchar_t*>(procedure->getName())) : CString();
    return L"An error occurred whilst executing [" + database + L"]..[" + name + L"]";
}

} // namespace

CEXStoredProcedure::CEXStoredProcedure(const _com_error& error, CStoredProcedure* procedure, CString source,
                                       CString file, CString function, int severity)
    : CEXKelmo(source, file, function), m_node(procedureNode(procedure)) {
    setSource(CString(static_cast<const wchar_t*>(error.Source())));
    setDescription(CString(static_cast<const wchar_t*>(error.Description())));
    setSeverity(severity);
}

CEXStoredProcedure::CEXStoredProcedure(_ConnectionPtr connection, CStoredProcedure* procedure, CString source,
                                       CString file, CString function, int severity)
    : CEXKelmo(source, file, function, 0, connectionErrorChain(connection, source, file, function)),
      m_node(procedureNode(procedure)) {
    setDescription(executingText(connection, procedure));
    setSeverity(severity);
}

IXMLDOMNodePtr CEXStoredProcedure::serialize() {
    return serializeWithNode(m_node);
}
