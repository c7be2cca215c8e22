// An error log on a disk that is full: standard error names the log, the reason and the report whose
// entry is lost, the log keeps what it held, and the batch goes on.
#include <sys/mount.h>

#include "BatchTestSupport.h"

namespace batchtest {
namespace {

TEST_F(BatchTest, AnErrorLogOnAFullDiskIsNamedWithTheReasonAndTheReportWhoseEntryIsLost) {
    const fs::path disk = dir / "logs";
    fs::create_directories(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string log = windowsPath(disk / "errors.xml");
    writePrefs(dir / "prefs.xml", windowsPath(dir / "out"), log);
    std::ofstream(disk / "errors.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<errors xmlns=\"http://schemas.kelmo.net/errors\"/>\n";
    const std::string before = slurp(disk / "errors.xml");
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(1024, 'x');
        for (int i = 0; i < 128 && filler; ++i) filler << block << std::flush;
    }
    std::ofstream(dir / "plans" / "broken.dxf") << "this is no drawing\n";
    Report failing;
    failing.drawingFilename = "broken.dxf";
    failing.outputFilename = "broken";
    const int broken = add(failing);
    Report fine;
    fine.outputFilename = "fine";
    const int fineId = add(fine);

    Outcome r = run();
    const std::string kept = slurp(disk / "errors.xml");
    ::umount(disk.c_str());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "The error log " + log +
                         " cannot be written: There is not enough space on the disk. - the entry " +
                         "for graphic report " + std::to_string(broken) + " is lost\n");
    EXPECT_EQ(kept, before);
    EXPECT_EQ(statusOf(broken), 14);
    EXPECT_EQ(statusOf(fineId), 3);
}

} // namespace
} // namespace batchtest
