#pragma once
// A batch run over a table of reports, each with the final status it must end with.
#include <vector>

#include "BatchTestSupport.h"

namespace batchtest {

struct ReportCase {
    const char* what;
    Report report;
    int status;
};

class ReportCases : public BatchTest {
protected:
    // Adds the reports in order (each titled with what it shows unless given a title), runs the batch
    // and checks each final status, in the register and on the command line; the run's outcome.
    Outcome prepare(std::vector<ReportCase>& cases) {
        for (ReportCase& c : cases) {
            if (c.report.title == "Report") c.report.title = c.what;
            ids.push_back(add(c.report));
        }
        Outcome r = run();
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        for (size_t i = 0; i < cases.size(); ++i) {
            const std::string line =
                "Graphic report " + std::to_string(ids[i]) + ": status " + std::to_string(cases[i].status) + "\n";
            EXPECT_EQ(statusOf(ids[i]), cases[i].status) << cases[i].what << "\n" << r.out;
            EXPECT_NE(r.out.find(line), std::string::npos) << cases[i].what << "\n" << r.out;
        }
        return r;
    }
    static Report named(const std::string& outputFilename) {
        Report r;
        r.outputFilename = outputFilename;
        return r;
    }
    std::vector<int> ids;
};

} // namespace batchtest
