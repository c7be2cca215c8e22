#pragma once
// One named stored procedure with its parameter list, run over the connection of its base.
// The list is the caller's: it must live until the execution returns, and the procedure never
// deletes it.
#include "database/DataServices.h"
#include "database/Parameters.h"
#include "xml/MsXml.h"

class CStoredProcedure;

// What a caller holds on the session its calls run on (a lock, say), which a lost session took with it.
class CSessionHold {
public:
    virtual ~CSessionHold() = default;
    // Takes it again on the new session, through the procedure; raises when it cannot be had any more,
    // and the call that found its session lost is not run again.
    virtual void takeAgain(CStoredProcedure* procedure) = 0;
};

class CStoredProcedure : public CDataServices {
public:
    CStoredProcedure(CString server, CString database, CString user, CString password, int timeout);
    ~CStoredProcedure() override;

    void setName(const _bstr_t& procedureName);
    void setName(const wchar_t* procedureName) { setName(_bstr_t(procedureName)); }
    void setName(const CString& procedureName) { setName(_bstr_t(static_cast<LPCWSTR>(procedureName))); }
    _bstr_t getName();
    void setParameters(CParameters* list);
    CParameters* getParameters();
    void setTimeout(int seconds);
    int getTimeout();
    // A call that finds its connection lost is run again on a new one, up to this many more times,
    // the waits doubling from a quarter of a second; when the connection cannot be made again the
    // call raises CEXConnection. 0, the default, runs each call once: only a caller whose calls may
    // run twice sets it.
    void setReconnectTries(int tries) { reconnectTries = tries; }
    // Asks the server not to end the session while it idles between calls (a role's idle session
    // time-out), now and on every new session; a server without such a time-out is left as it is.
    void keepSessionsOpen();
    // Runs the function with its text argument now and on every new session that replaces a lost one,
    // before the call runs again: what the server is to know of each of the caller's sessions. A refusal
    // names the function, with the server's SQL state, as a call's does.
    void markSessions(const CString& function, const CString& argument);
    // Taken again on each new session that replaces a lost one, before the call runs again; null for
    // none. The hold is the caller's and must outlive its setting.
    void setSessionHold(CSessionHold* hold) { sessionHold = hold; }

    // The server's SQL state for the last call that failed ("42501", say); empty when it gave none.
    CString getFailedState() const { return failedState; }

    // Each raises CEXConnection (wrapped) when the object holds no open connection.
    _RecordsetPtr execSPReturnParas();
    void execSPNoReturnNoParas();
    void execSPNoReturnParas();
    void execSPNoReturnParasReturn();
    _RecordsetPtr execSPReturnNoParas();

    IXMLDOMNodePtr serialize(CString namespaceURI);

private:
    // A command for this procedure, its parameters bound when asked, written to the debug log
    // when one is set, and run.
    _RecordsetPtr execute(const wchar_t* variant, bool bindParameters, _CommandPtr& command);

    // Whether the last call failed because the connection to the server was lost.
    bool connectionLost();
    // The SQL state of the connection's first error.
    CString errorState();
    // Readies a session that replaced a lost one: kept open and marked when asked, the hold taken again.
    void sessionRenewed();
    void keepThisSessionOpen();

    _bstr_t name;
    CParameters* parameters;
    int timeout;
    int reconnectTries = 0;
    bool keepOpen = false;
    CString sessionMark;
    CSessionHold* sessionHold = nullptr;
    bool renewing = false;       // the hold's own calls take nothing again
    bool sessionUnready = false; // a new session whose readying failed: tried again by the next call
    CString failedState;
};

// Takes a parameter list lent to a procedure back when it goes out of scope, however the call
// ended: the list usually lives on the caller's stack and must not be reached after it is gone.
class CParametersLoan {
public:
    explicit CParametersLoan(CStoredProcedure* procedure) : procedure(procedure) {}
    ~CParametersLoan() { procedure->setParameters(nullptr); }
    CParametersLoan(const CParametersLoan&) = delete;
    CParametersLoan& operator=(const CParametersLoan&) = delete;

private:
    CStoredProcedure* procedure;
};
