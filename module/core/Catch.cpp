#include "core/Catch.h"

#include <new>

#include "core/Globals.h"

namespace kelmo {

CEXUnhandled* wrapCurrent(const wchar_t* file, const wchar_t* method, unsigned kinds) {
    try {
        throw;
    } catch (CEXKelmo* caught) {
        return new CEXUnhandled(KELMO_BANNER, file, method, 0, caught);
    } catch (CException* caught) {
        // Released whether or not its message is kept: nobody else will see it again.
        CEXUnhandled* wrapper = (kinds & catchClassLib)
                                    ? new CEXUnhandled(caught, KELMO_BANNER, file, method, 0, nullptr)
                                    : new CEXUnhandled(KELMO_BANNER, file, method, 0, nullptr);
        caught->Delete();
        return wrapper;
    } catch (const std::bad_alloc&) {
        // Whatever the function was doing, the cause is the memory: said as such, never as a fault of
        // the file or data at hand.
        return new CEXUnhandled(L"there is not enough memory", KELMO_BANNER, file, method, 0);
    } catch (const std::exception& caught) {
        if (kinds & catchStd) {
            return new CEXUnhandled(caught, KELMO_BANNER, file, method, 0, nullptr);
        }
        return new CEXUnhandled(KELMO_BANNER, file, method, 0, nullptr);
    } catch (...) {
        return new CEXUnhandled(KELMO_BANNER, file, method, 0, nullptr);
    }
}

void rethrowWrapped(const wchar_t* file, const wchar_t* method, unsigned kinds) {
    throw wrapCurrent(file, method, kinds);
}

void reportWrapped(const wchar_t* file, const wchar_t* method, unsigned kinds) noexcept {
    CEXUnhandled* wrapper = nullptr;
    try {
        wrapper = wrapCurrent(file, method, kinds);
        wrapper->reportToMessageBox();
    } catch (...) {
        // Nothing more can be shown; the chain is still freed below.
    }
    if (wrapper != nullptr) {
        wrapper->deleteException();
    }
}

} // namespace kelmo
