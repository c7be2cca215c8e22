#pragma once
// What every command handler shares: the module's resources made current for its length, the
// title line, the working drawing on the current document, the preferences, and the failure
// clauses at the top of the road. A handler reads:
//
//     void updateSpaces() {
//         KELMO_TRY
//             kelmo::CommandResources resources;
//             kelmo::printTitle(L"Update Spaces");
//             std::unique_ptr<CAcadDrawing> drawing = kelmo::workingDrawing();
//             std::unique_ptr<CPreferences> preferences = kelmo::loadedPreferences();
//             ...
//         KELMO_CATCH_REPORT(L"updateSpaces", kelmo::catchClassLib)   // or KELMO_COMMAND_CATCH_LINE
//     }
#include <memory>

#include "cad/editor/EdInput.h"
#include "classlib/Afx.h"
#include "core/Catch.h"
#include "core/Preferences.h"
#include "drawing/AcadDrawing.h"

namespace kelmo {

inline constexpr const wchar_t* commandVersion = L"64.04.00.01";

// Makes the module's own templates and strings current, on the host's resource stack and in the
// class library, and puts back what was current on every way out.
class CommandResources {
public:
    CommandResources();
    ~CommandResources();
    CommandResources(const CommandResources&) = delete;
    CommandResources& operator=(const CommandResources&) = delete;

private:
    HINSTANCE m_previous;
};

// "Kelmo " + title + " " + version on its own line.
void printTitle(const wchar_t* title);

// The current document wrapped for a command: left open and unsaved when deleted. A module
// exception when no drawing is open.
std::unique_ptr<CAcadDrawing> workingDrawing();

// host folder + "\kelmo\prefs\prefs.cfg"
CString preferencesPath();
// The defaults, overridden by the preferences file where it has them.
std::unique_ptr<CPreferences> loadedPreferences();

} // namespace kelmo

// The failure clauses of a handler whose last clause prints a fixed line: a module exception is
// shown in the error box and deleted; anything else prints the line, and the host hears the command failed.
#define KELMO_COMMAND_CATCH_LINE(method, line)           \
    }                                                    \
    catch (CEXKelmo*) {                                  \
        ::kelmo::reportWrapped(kelmoSourceFile, method); \
    }                                                    \
    catch (CException * caught) {                        \
        caught->Delete();                                \
        acutPrintf(L"%s", line);                         \
        ed::input().tellFailure(line);                   \
    }                                                    \
    catch (...) {                                        \
        acutPrintf(L"%s", line);                         \
        ed::input().tellFailure(line);                   \
    }
