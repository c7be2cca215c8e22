#pragma once
// One database connection for the life of one operation: opened by the constructor, closed by the
// destructor. The base of the stored-procedure and SQL-statement classes.
#include "ado/Ado.h"
#include "classlib/Afx.h"

class CDataServices {
public:
    CDataServices();
    // Opens the connection; a connection that cannot be made raises CEXConnection with the
    // server's message.
    CDataServices(CString server, CString database, CString user, CString password, int timeout);
    virtual ~CDataServices();
    CDataServices(const CDataServices&) = delete;
    CDataServices& operator=(const CDataServices&) = delete;

    double getADOVersion();

    // One transaction on this object's connection: the work run between beginTrans and
    // commitTrans is kept together, or undone together by rollbackTrans. Without an open
    // connection each raises CEXConnection; a failure of the server is wrapped as usual.
    void beginTrans();
    void commitTrans();
    void rollbackTrans();

    // The connection string for the four values. Each value is quoted when it holds a character
    // the string's own syntax uses, so that it reaches the server as typed and adds no property.
    static CString connectionString(CString server, CString database, CString user, CString password);

protected:
    // Raises CEXConnection when there is no open connection to run on.
    void requireConnection(const wchar_t* method);

    _ConnectionPtr connection;
    int connected;

private:
    bool comInitialised;
};
