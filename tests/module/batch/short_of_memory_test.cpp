// kelmobatch short of memory, as a night job under a limit on its address space meets it: a plan of
// 400 rooms plotted as JPEG, PNG and PDF with a little less memory than each plot needs. Every run ends
// by itself with its exit status and the report's status, and what failed is named as memory.
#include "BatchTestSupport.h"

namespace batchtest {
namespace {

class ShortOfMemory : public BatchTest {
protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "the address sanitizer cannot run under a limit on the address space";
#endif
        BatchTest::SetUp();
        if (IsSkipped()) return;
        const fs::path generator = fs::path(KELMO_SOURCE_DIR) / "bench" / "ezdxf_room_plan.py";
        ASSERT_EQ(std::system(("/usr/bin/python3 '" + generator.string() + "' 400 '" +
                               (dir / "plans" / "rooms.dxf").string() + "'")
                                  .c_str()),
                  0);
    }

    struct Limited {
        bool exited = false; // by itself, not by a signal
        int status = -1;     // its exit status
        int report = -1;     // the report's status in the register
        std::string out, log;
    };

    // Runs the batch with its address space limited to that many megabytes, the report listed again.
    Limited run(int id, int megabytes) const {
        pgQuery(database, "UPDATE graphic_report SET status_id = 1 WHERE id = " + std::to_string(id));
        fs::remove(dir / "errors.xml");
        const int raw = std::system(
            ("ulimit -v " + std::to_string(megabytes * 1024) + " && " + commandLine() + " >limited.txt 2>/dev/null")
                .c_str());
        Limited r;
        r.exited = WIFEXITED(raw);
        r.status = r.exited ? WEXITSTATUS(raw) : -1;
        r.report = statusOf(id);
        r.out = slurp(dir / "limited.txt");
        r.log = fs::exists(dir / "errors.xml") ? slurp(dir / "errors.xml") : std::string();
        return r;
    }
};

TEST_F(ShortOfMemory, EveryRunEndsByItselfRecordingItsStatusAndAPlotThatFailedSaysMemory) {
    const struct {
        const char* what;
        int plotType;
        const char* extension;
    } plots[] = {{"JPEG", 2, ".jpg"}, {"PNG", 3, ".png"}, {"PDF", 1, ".pdf"}};
    for (const auto& plot : plots) {
        SCOPED_TRACE(plot.what);
        Report row;
        row.drawingFilename = "rooms.dxf";
        row.plotType = plot.plotType;
        row.outputFilename = std::string("rooms ") + plot.what;
        const int id = add(row);
        pgQuery(database, "UPDATE graphic_report SET status_id = 0 WHERE id <> " + std::to_string(id));
        const std::string category =
            pgQuery(database, "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_colour) VALUES (" +
                                  std::to_string(id) + ", 'Offices', 'SOLID', '#E07020') RETURNING id")[0][0];
        pgQuery(database, "INSERT INTO category_block (category_id, handle) VALUES (" + category + ", '*')");

        // The least memory the plot is written with, to a megabyte; the runs just below it fail late in
        // the plot, where what was made must be given back.
        int enough = 400, short_ = 100;
        ASSERT_EQ(run(id, enough).report, 3);
        if (run(id, short_).report == 3) enough = short_;
        while (enough - short_ > 1) {
            const int middle = (enough + short_) / 2;
            (run(id, middle).report == 3 ? enough : short_) = middle;
        }
        const fs::path plotFile = dir / "out" / (*row.outputFilename + plot.extension);
        for (int megabytes = enough - 1; megabytes >= std::max(100, enough - 6); --megabytes) {
            SCOPED_TRACE(std::to_string(megabytes) + " MB");
            const std::string earlier = slurp(plotFile);
            ASSERT_FALSE(earlier.empty());
            const Limited r = run(id, megabytes);
            // A plot that was not written leaves the earlier one.
            if (r.report != 3 && r.report != 13) {
                EXPECT_TRUE(slurp(plotFile) == earlier) << "the earlier plot is gone";
            }
            ASSERT_TRUE(r.exited) << r.out;
            EXPECT_EQ(r.status, 0) << r.out;
            EXPECT_TRUE(r.report == 3 || r.report == 9 || r.report == 13 || r.report == 14) << r.report << "\n"
                                                                                            << r.out;
            if (r.report == 9) {
                EXPECT_NE(r.out.find("Graphic report " + std::to_string(id) + ": status 9 - "), std::string::npos)
                    << r.out;
                EXPECT_NE(r.log.find("was not written"), std::string::npos) << r.log;
            }
            if (r.report != 3) {
                EXPECT_NE(r.out.find("memory"), std::string::npos) << r.out << r.log;
            }
            EXPECT_EQ(r.log.find("eFilerError"), std::string::npos) << r.log;
            EXPECT_EQ(r.log.find("eFileAccessErr"), std::string::npos) << r.log;
        }
    }
}

TEST_F(ShortOfMemory, ADrawingLargerThanTheMemoryLeftIsNamedAsShortOfMemoryNotAsAFileFault) {
    // Sparse: it takes no room on the disk, but reading it would take 64 gigabytes.
    std::ofstream(dir / "plans" / "huge.dxf") << "0\nSECTION\n";
    fs::resize_file(dir / "plans" / "huge.dxf", std::uintmax_t(64) << 30);
    Report row;
    row.drawingFilename = "huge.dxf";
    const int id = add(row);
    const Limited r = run(id, 1024);
    ASSERT_TRUE(r.exited) << r.out;
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.report, 14);
    EXPECT_NE(r.out.find("Graphic report " + std::to_string(id) + ": status 14 - "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("eOutOfMemory"), std::string::npos) << r.out;
    EXPECT_NE(r.log.find("eOutOfMemory"), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("eFileAccessErr"), std::string::npos) << r.log;
}

} // namespace
} // namespace batchtest
