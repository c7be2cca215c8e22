// Drawings the reader had to mend: one cut short (a copy still in progress) is not prepared; one repaired
// in other ways is, and what the reader found is in the error log either way.
#include "BatchTestSupport.h"

namespace batchtest {
namespace {

struct Damage {
    const char* name;
    std::string (*damage)(const std::string& drawing);
    int status;
    const char* warning; // what the reader says, in the error log and, when not prepared, on the report's line
};

std::string half(const std::string& drawing) {
    return drawing.substr(0, drawing.size() / 2);
}

// Everything up to the last section's end: the copy stopped just before "EOF".
std::string noEof(const std::string& drawing) {
    return drawing.substr(0, drawing.rfind("EOF"));
}

std::string trailing(const std::string& drawing) {
    return drawing + "left over by the program that wrote it\n";
}

TEST_F(BatchTest, ADrawingCutShortIsNotPreparedAndOneRepairedOtherwiseIsBothNamingTheReadersWarnings) {
    const std::string plan = slurp(dir / "plans" / "plan_mm.dxf");
    const std::vector<Damage> cases = {
        {"half.dxf", half, 14, "is not closed: the file ends inside it"},
        {"noeof.dxf", noEof, 14, "the file has no EOF marker"},
        {"trailing.dxf", trailing, 3, "bytes after EOF"},
    };
    std::vector<int> ids;
    for (const Damage& c : cases) {
        std::ofstream(dir / "plans" / c.name, std::ios::binary) << c.damage(plan);
        Report report;
        report.drawingFilename = c.name;
        report.outputFilename = c.name;
        ids.push_back(add(report));
    }
    Report whole;
    whole.outputFilename = "whole";
    const int wholeId = add(whole);

    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string log = slurp(dir / "errors.xml");
    for (size_t i = 0; i < cases.size(); ++i) {
        const Damage& c = cases[i];
        const std::string id = std::to_string(ids[i]);
        EXPECT_EQ(statusOf(ids[i]), c.status) << c.name;
        const std::string line = "Graphic report " + id + ": status " + std::to_string(c.status);
        if (c.status == 14) {
            const size_t at = r.out.find(line + " - the drawing is cut short: ");
            ASSERT_NE(at, std::string::npos) << c.name << "\n" << r.out;
            EXPECT_NE(r.out.substr(at, r.out.find('\n', at) - at).find(c.warning), std::string::npos) << r.out;
            EXPECT_FALSE(fs::exists(dir / "out" / (std::string(c.name) + ".pdf"))) << c.name;
        } else {
            EXPECT_NE(r.out.find(line + "\n"), std::string::npos) << c.name << "\n" << r.out;
        }
        const std::string logged = "Graphic report " + id + ": the drawing " + windowsPath(dir / "plans" / c.name) +
                                   " was read with warnings: ";
        const size_t at = log.find(logged);
        ASSERT_NE(at, std::string::npos) << c.name << "\n" << log;
        EXPECT_NE(log.substr(at, log.find('<', at) - at).find(c.warning), std::string::npos) << c.name;
    }
    // A drawing read clean is prepared without a word in the log.
    EXPECT_EQ(statusOf(wholeId), 3);
    EXPECT_EQ(log.find("Graphic report " + std::to_string(wholeId) + ":"), std::string::npos) << log;
}

} // namespace
} // namespace batchtest
