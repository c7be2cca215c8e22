// Two kelmobatch runs at once, on registers of their own, that write one error log: every entry of
// both survives.
#include "RunControlSupport.h"

namespace batchtest {
namespace {

// The entries of failed preparations, one each.
size_t entries(const std::string& log) {
    const std::string entry = "<procSig>CGraphicReport::prepareReport</procSig>";
    size_t n = 0;
    for (size_t at = log.find(entry); at != std::string::npos; at = log.find(entry, at + 1)) ++n;
    return n;
}

TEST_F(BatchTest, TwoRunsSharingAnErrorLogKeepEveryEntryOfBoth) {
    const int failing = 25;
    std::ofstream(dir / "plans" / "broken.dxf") << "this is no drawing\n";
    const std::string other = database + "_b";
    pgQuery("postgres", "CREATE DATABASE " + other);
    pgQuery(other, slurp(fs::path(KELMO_SOURCE_DIR) / "sql" / "vxr.sql"));
    for (const std::string& db : {database, other}) {
        for (int i = 0; i < failing; ++i)
            pgQuery(db,
                    "INSERT INTO graphic_report (drawing_path, drawing_filename, output_path, output_filename) "
                    "VALUES (" +
                        sqlText(windowsPath(dir / "plans")) + ", 'broken.dxf', " + sqlText(windowsPath(dir / "out")) +
                        ", 'r" + std::to_string(i) + "')");
    }
    std::vector<Background> runs;
    for (const std::string& db : {database, other})
        runs.push_back(start(dir,
                             "cd '" + dir.string() + "' && exec '" + program.string() +
                                 "' --server-prefs prefs.xml --database " + db + " --c-drive '" + (dir / "c").string() +
                                 "'",
                             db));
    for (const Background& run : runs) {
        const Outcome r = finish(run);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
    }
    pgQuery("postgres", "DROP DATABASE IF EXISTS " + other + " WITH (FORCE)");
    EXPECT_EQ(entries(slurp(dir / "errors.xml")), 2u * failing);
}

} // namespace
} // namespace batchtest
