#pragma once
// The "dlg ..." lines of cadhost: list and dump the live dialogs and act on them through the dialog driver.
//   dlg list | dlg show | dlg set ID TEXT | dlg type ID TEXT | dlg click ID | dlg select ID INDEX-OR-TEXT
//   dlg dblclick ID INDEX-OR-TEXT | dlg check ID 0|1 | dlg radio ID | dlg tab ID INDEX | dlg menu ID
//   dlg close | dlg esc | dlg enter
// They act on the current dialog, or on one named as "dlg @TEMPLATE-ID ..." or "dlg @CAPTION ..." (a caption
// with blanks in double quotes). "dlg force ..." acts on hidden or disabled controls too. A control of a page
// (a child dialog) may be named PAGE/ID. TEXT may be given in double quotes (so "" is the empty text).
#include <iosfwd>
#include <string>

namespace cadhost {

struct DialogLineResult {
    bool handled = false; // false: the line is not a dialog command
    std::wstring error;   // why the action could not be applied; empty on success
    bool ok() const { return handled && error.empty(); }
};

// Runs one input line. Dumps, lists and remarks go to `out` (UTF-8).
DialogLineResult runDialogLine(const std::wstring& line, std::ostream& out);
DialogLineResult runDialogLine(const std::string& utf8Line, std::ostream& out);

// While set, each dialog that opens or changes visibility has its dump printed on `out`; null stops it.
// explain: the first dump shown is followed by a line telling how a dialog is answered.
void echoDialogs(std::ostream* out, bool explain = false);

// Cancels every open dialog, the topmost first, as the end of input does.
void cancelOpenDialogs();

} // namespace cadhost
