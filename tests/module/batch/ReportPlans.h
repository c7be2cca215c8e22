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
    // A category of the report hatching solid in the colour on the layer "HATCH-" and its title; its id.
    std::string category(const std::string& id, const std::string& title, const std::string& colour) const {
        return pgQuery(database,
                       "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_angle, hatch_colour, "
                       "hatch_scale, hatch_layer) VALUES (" +
                           id + ", '" + title + "', 'SOLID', 0, '" + colour + "', 1, 'HATCH-" + title +
                           "') RETURNING id")[0][0];
    }
    // The facts that begin with the prefix.
    static std::vector<std::string> starting(const std::vector<std::string>& facts, const std::string& prefix) {
        std::vector<std::string> found;
        for (const std::string& fact : facts)
            if (fact.rfind(prefix, 0) == 0) found.push_back(fact);
        return found;
    }
    // The entities of a layout of the drawing ("Model" or a paper layout), bottom first.
    std::vector<std::string> drawn(const fs::path& drawing, const std::string& layout) const {
        std::vector<std::string> found;
        std::istringstream lines(cadhost_run::capture("/usr/bin/python3 '" + generator.string() + "' drawn '" +
                                                      drawing.string() + "' '" + layout + "'"));
        for (std::string line; std::getline(lines, line);) found.push_back(line);
        return found;
    }

    fs::path generator = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "reports" / "make_report_plans.py";
    std::map<std::string, std::string> handles;
};

} // namespace batchtest
