#include "core/SystemUtilities.h"

#include "core/Catch.h"
#include "core/HostCalls.h"

KELMO_SOURCE_FILE(L"SystemUtilities.cpp");

void CSystemUtilities::wait(int seconds) {
    KELMO_TRY
        // Four quarter-second naps per second, with the messages let through before each.
        const long long naps = seconds > 0 ? 4LL * seconds : 0;
        for (long long i = 0; i < naps; ++i) {
            doEvents();
            SleepEx(250, FALSE);
        }
    KELMO_CATCH_ALSO(L"CSystemUtilities::wait", kelmo::catchClassLib)
}

void CSystemUtilities::doEvents() {
    KELMO_TRY
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            // The thread's own message pump, as the class library's thread object runs it.
            if (!win::pumpMessage()) {
                return; // the quit message
            }
        }
    KELMO_CATCH_ALSO(L"CSystemUtilities::doEvents", kelmo::catchClassLib)
}
