// kelmobatch when things around it fail: an error log that cannot be written, reports that cannot be
// loaded, the register going away part-way, and reports left claimed by a run that is gone.
#include "BatchTestSupport.h"

namespace batchtest {
namespace {

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(BatchTest, AnErrorLogThatCannotBeWrittenIsNamedOnceAndEveryReportIsStillPrepared) {
    const std::string log = windowsPath(dir / "unmounted" / "errors.xml");
    writePrefs(dir / "prefs.xml", windowsPath(dir / "out"), log);
    std::ofstream(dir / "plans" / "broken.dxf") << "this is no drawing\n";
    std::vector<int> broken, good;
    for (int i = 0; i < 3; ++i) {
        Report failing;
        failing.drawingFilename = "broken.dxf";
        failing.outputFilename = "broken" + std::to_string(i);
        broken.push_back(add(failing));
        Report fine;
        fine.outputFilename = "fine" + std::to_string(i);
        good.push_back(add(fine));
    }
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count(r.err, "The error log " + log + " cannot be written"), 1u) << r.err;
    for (int id : broken) EXPECT_EQ(statusOf(id), 14) << "report " << id;
    for (int id : good) EXPECT_EQ(statusOf(id), 3) << "report " << id;
    for (int i = 0; i < 3; ++i) EXPECT_GT(fs::file_size(dir / "out" / ("fine" + std::to_string(i) + ".pdf")), 0u);
    EXPECT_FALSE(fs::exists(dir / "unmounted"));
    EXPECT_TRUE(fs::is_empty(dir / "c" / "CadHost" / "kelmo" / "temp"));
}

} // namespace
} // namespace batchtest
