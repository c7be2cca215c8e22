#pragma once
// The report plan (tests/data/reports/make_report_plans.py) written into the test's plans folder, with
// its entities' handles by name, and the drawings the batch writes read back by the same generator.
#include <map>
#include <string>
#include <vector>

#include "BatchTestSupport.h"
#include "module/CadhostRun.h"

namespace batchtest {

class ReportPlans : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_EQ(
            std::system(("/usr/bin/python3 '" + generator.string() + "' '" + (dir / "plans").string() + "'").c_str()),
            0);
        handles = cadhost_run::handlesIn(dir / "plans" / "handles.txt");
    }
    // The generator's dump of the drawing, one fact a line.
    std::vector<std::string> facts(const fs::path& drawing) const {
        std::vector<std::string> found;
        std::istringstream lines(
            cadhost_run::capture("/usr/bin/python3 '" + generator.string() + "' dump '" + drawing.string() + "'"));
        for (std::string line; std::getline(lines, line);) found.push_back(line);
        return found;
    }

    fs::path generator = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "reports" / "make_report_plans.py";
    std::map<std::string, std::string> handles;
};

} // namespace batchtest
