#pragma once
// cadhost typed at as a user types: on a pseudo-terminal (its echo, Ctrl-C and Ctrl-D), or fed
// through a pipe. The output (standard output and errors together) is watched for the prompts.
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "module/CadhostRun.h"
#include "support/EntryFixture.h"

namespace cadhost_run {

class CadhostTerminal {
public:
    enum class Kind { Terminal, Pipe };
    // Starts cadhost in the folder with the arguments.
    CadhostTerminal(Kind kind, const std::filesystem::path& dir, const std::vector<std::string>& args);
    ~CadhostTerminal();
    CadhostTerminal(const CadhostTerminal&) = delete;
    CadhostTerminal& operator=(const CadhostTerminal&) = delete;

    // Waits until the output shows the text after what the earlier waits found; false when cadhost
    // ends first, or ten minutes go by (it is waiting for something else).
    bool waitFor(const std::string& text);
    void type(const std::string& text);
    // Ctrl-C: the terminal's interrupt character, or the SIGINT a terminal sends a pipeline.
    void interrupt();
    // Ctrl-D at a terminal, the pipe's end otherwise.
    void endInput();
    // A signal from outside (a kill, a terminal closed).
    void signal(int number);
    // Waits for cadhost to end (a minute at most, then it is killed): its exit status, 128 and the
    // signal when a signal ended it, -1 when it had to be killed.
    int exitStatus();
    const std::string& output() const { return output_; }
    pid_t pid() const { return pid_; }

private:
    // Reads what comes within the wait: the bytes read, -1 once the output has ended.
    int readSome(int waitMs);

    Kind kind_;
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    bool ended_ = false;
    int status_ = -1;
    std::string output_;
    size_t seen_ = 0;
};

// A folder of the test's own: the C: drive with the default preferences, and the sample floor plan as
// plan.dxf. Skipped when cadhost or the module is not built.
class PlanFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(program()) || !std::filesystem::exists(module()))
            GTEST_SKIP() << "cadhost or the module is not built";
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("kelmo-" + std::string(test->test_suite_name()) + "-" + std::to_string(::getpid()) + "-" + test->name());
        std::filesystem::remove_all(dir);
        const std::filesystem::path prefs = dir / "c/CadHost/kelmo/prefs/prefs.cfg";
        std::filesystem::create_directories(prefs.parent_path());
        std::ofstream(prefs, std::ios::binary) << kelmo_test::defaultPrefsFile;
        std::filesystem::copy_file(std::filesystem::path(KELMO_SOURCE_DIR) / "samples/floorplan.dxf", dir / "plan.dxf");
    }
    void TearDown() override {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }

    std::filesystem::path dir;
};

} // namespace cadhost_run
