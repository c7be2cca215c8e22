#pragma once
// SQL text run over the connection of its base.
#include "database/DataServices.h"

class CSQLStatement : public CDataServices {
public:
    CSQLStatement(CString server, CString database, CString user, CString password, int timeout);
    ~CSQLStatement() override;

    // Each raises CEXConnection (wrapped) when the object holds no open connection.
    _RecordsetPtr execSQLReturn(CString sql);
    int execSQLNoReturn(CString sql);
};
