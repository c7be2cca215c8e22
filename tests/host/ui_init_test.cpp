// The module initialises the host's user-interface library when it is attached, and only then.
#include <gtest/gtest.h>

#include "cad/app/HostUi.h"
#include "entry/KelmoEntry.h"
#include "support/HostFixture.h"
#include "win/Module.h"

namespace {

class ModuleAttach : public kelmo_test::HostFixture {};

TEST_F(ModuleAttach, InitialisesTheHostsUserInterfaceLibraryOnAttachOnly) {
    const int before = hostui::initCount();
    HINSTANCE instance = win::registerModule(L"C:\\CadHost\\kelmo.arx");
    EXPECT_EQ(DllMain(instance, 1, nullptr), TRUE);
    EXPECT_EQ(hostui::initCount(), before + 1);
    DllMain(instance, 2, nullptr); // a thread attaching changes nothing
    DllMain(instance, 0, nullptr);
    EXPECT_EQ(hostui::initCount(), before + 1);
    win::unregisterModule(instance);
}

} // namespace
