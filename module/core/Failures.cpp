#include "core/Failures.h"

#include "cad/editor/EdInput.h"
#include "core/HostCalls.h"

namespace kelmo {
namespace {

// The line without the blank lines around it, as standard error shows it.
std::wstring trimmed(const CString& line) {
    CString text = line;
    text.Trim(L" \n");
    return static_cast<const wchar_t*>(text);
}

} // namespace

void sayFailed(const CString& line) {
    acutPrintf(L"%s", static_cast<const wchar_t*>(line));
    ed::input().tellFailure(trimmed(line));
}

void sayPickRefused(const CString& line) {
    acutPrintf(L"%s", static_cast<const wchar_t*>(line));
    ed::input().tellRefusal(trimmed(line));
}

} // namespace kelmo
