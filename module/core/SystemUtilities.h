#pragma once
// Keeps the host's window messages flowing while the module works or waits on the main thread.
#include "classlib/Afx.h"

class CSystemUtilities {
public:
    virtual ~CSystemUtilities() = default;

    static void wait(int seconds);
    static void doEvents();
};
