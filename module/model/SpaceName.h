#pragma once
// A space name is stored in the space's extended data as one string, "NAME=" and the name, and a
// drawing holds such a string in at most 255 bytes (UTF-8): every place that sets a name asks here,
// as does every write of a space's record.
#include "classlib/Afx.h"

namespace kelmo_model {

inline constexpr int storedStringLimit = 255;

// The bytes a string of extended data takes in the drawing.
int storedStringBytes(const CString& text);
// The bytes "NAME=" and the name take in the drawing.
int storedNameBytes(const CString& name);
// Empty when the name fits; otherwise the message that says why it is refused, with the limit.
CString nameTooLong(const CString& name);

} // namespace kelmo_model
