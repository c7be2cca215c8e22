#pragma once
// The register procedures of the drawing records: their input parameters, and one call run
// without a result set.
#include "classlib/Afx.h"

class CParameter;
class CParameters;
class CStoredProcedure;

namespace registercall {

// An input parameter; text parameters are sized for the register's 255-character columns.
CParameter* intInput(const wchar_t* name, int value);
CParameter* textInput(const wchar_t* name, const CString& value);

// Runs the procedure of that name with the list and the timeout; the procedure lets go of the
// list however the call ends. COM errors pass to the caller as they are.
void execute(CStoredProcedure* procedure, const wchar_t* name, CParameters& parameters, int timeout);

} // namespace registercall
