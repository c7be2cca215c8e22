#pragma once
// The catch convention of the database classes: as KELMO_CATCH_ALSO, but a COM error (a failing ADO
// call) becomes a CEXUnhandled carrying the COM error's source and description, severity high.
#include "core/Catch.h"
#include "core/Globals.h"

#define KELMO_CATCH_COM(method, kinds)                                              \
    }                                                                               \
    catch (const _com_error& comError) {                                            \
        throw new CEXUnhandled(comError, KELMO_BANNER, kelmoSourceFile, method, 2); \
    }                                                                               \
    catch (...) {                                                                   \
        ::kelmo::rethrowWrapped(kelmoSourceFile, method, kinds);                    \
    }
