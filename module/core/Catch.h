#pragma once
// The catch convention. Every function of the module wraps its body so that whatever leaves it is a
// new CEXUnhandled naming this source file and the function, with a caught module exception as its
// inner exception. Use:
//
//     KELMO_SOURCE_FILE(L"Utilities.cpp");                   // once per source file
//
//     int CUtilities::CStringToInt(CString text) {
//         KELMO_TRY
//             ...
//         KELMO_CATCH(L"CUtilities::CStringToInt")          // wrap and throw on
//     }
//
// KELMO_CATCH_ALSO(method, kinds) also takes the class library's exceptions (kelmo::catchClassLib:
// the wrapper carries their message and they are released) and/or the standard library's
// (kelmo::catchStd: the wrapper carries what()). Anything else becomes a plain CEXUnhandled.
// At the top of a road, KELMO_CATCH_REPORT(method, kinds) shows the wrapped chain in the
// "Error Detected." box, deletes it and carries on after the macro.
// A function that must let one exception class through unwrapped catches it first with its own
// clause, followed by `catch (...) { kelmo::rethrowWrapped(kelmoSourceFile, method, kinds); }`.
#include "core/KelmoExceptions.h"

namespace kelmo {

enum CatchKinds : unsigned {
    catchModule = 0,   // the module's exceptions and anything else
    catchClassLib = 1, // also CException*
    catchStd = 2,      // also std::exception
};

// Call only inside a catch handler: builds the wrapper of the exception being handled.
CEXUnhandled* wrapCurrent(const wchar_t* file, const wchar_t* method, unsigned kinds = catchModule);
// Call only inside a catch handler: throws the wrapper.
[[noreturn]] void rethrowWrapped(const wchar_t* file, const wchar_t* method, unsigned kinds = catchModule);
// Call only inside a catch handler: shows the wrapped chain in the error box and deletes it.
void reportWrapped(const wchar_t* file, const wchar_t* method, unsigned kinds = catchModule) noexcept;

} // namespace kelmo

#define KELMO_SOURCE_FILE(name) [[maybe_unused]] static constexpr const wchar_t* kelmoSourceFile = name
#define KELMO_TRY try {
#define KELMO_CATCH(method)                               \
    }                                                     \
    catch (...) {                                         \
        ::kelmo::rethrowWrapped(kelmoSourceFile, method); \
    }
#define KELMO_CATCH_ALSO(method, kinds)                          \
    }                                                            \
    catch (...) {                                                \
        ::kelmo::rethrowWrapped(kelmoSourceFile, method, kinds); \
    }
#define KELMO_CATCH_REPORT(method, kinds)                       \
    }                                                           \
    catch (...) {                                               \
        ::kelmo::reportWrapped(kelmoSourceFile, method, kinds); \
    }
