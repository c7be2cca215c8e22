// "*Cancel*" at a file chooser, as a script cancels any question: the command ends with nothing done and
// no error, and the lines after it are commands again.
#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

TEST_F(SpaceCommands, CancelAtAFileChooserCancelsItAndTheNextLineIsACommandAgain) {
    for (const char* command : {"magr", "mlbd"}) {
        SCOPED_TRACE(command);
        Outcome r = run("plan_mm.dxf", std::string(command) + "\n*Cancel*\nSAVEAS saved.dxf\n");
        EXPECT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_EQ(r.out.find("*Cancel*\\"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Error Detected"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Command: SAVEAS saved.dxf"), std::string::npos) << r.out;
        EXPECT_TRUE(fs::exists(dir / "saved.dxf"));
    }
}

} // namespace
} // namespace spacecommands
