#pragma once
// A command's own failure line ("... Failed", "Unable to save ...", "Invalid Selection"): printed on the
// command line, and the host told that the line which led to it was not applied, as a refused answer
// is. From a script the run then fails, the line named on standard error; at a terminal nothing changes.
#include "classlib/Afx.h"

namespace kelmo {

// The command ends without doing what it was asked.
void sayFailed(const CString& line);
// The object picked cannot be used and the command asks for another (a creation session): the pick is
// refused as a prompt refuses an answer.
void sayPickRefused(const CString& line);

} // namespace kelmo
