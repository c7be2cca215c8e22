#include "cad/app/HostUi.h"

#include <atomic>

namespace {
std::atomic<int> g_initCount{0};
} // namespace

void InitAcUiDLL() {
    ++g_initCount;
}

namespace hostui {
int initCount() {
    return g_initCount;
}
} // namespace hostui
