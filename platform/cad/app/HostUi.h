#pragma once
// The host's user-interface library, which a module initialises when it is attached. cadhost has
// no windows of its own, so there is nothing to set up: the calls are only counted.
void InitAcUiDLL();

namespace hostui {
// How often InitAcUiDLL was called in this process.
int initCount();
} // namespace hostui
