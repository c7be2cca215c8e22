// kelmobatch when its register stops answering without closing the connection: the run waits a bounded
// time, gives the connection up as lost, and goes on over a new one.
#include "RunControlSupport.h"

namespace batchtest {
namespace {

TEST_F(BatchTest, ARegisterThatStopsAnsweringIsGivenUpAfterItsTimeOutAndTheRunGoesOnOverANewConnection) {
    std::vector<int> ids;
    for (int i = 0; i < 3; ++i) {
        Report report;
        report.outputFilename = "r" + std::to_string(i);
        ids.push_back(add(report));
    }
    // The run reaches the register through a proxy that leaves the connection recording the first status
    // open and unanswered.
    const fs::path folder = fs::temp_directory_path() / ("kelmo-proxy-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    Outcome r;
    bool silenced = false;
    {
        SilencingProxy proxy(folder, pgServer()->host, "__gr_setGraphicReportStatus");
        std::string prefs = slurp(dir / "prefs.xml");
        const std::string server = "<dbDatasource>" + pgServer()->host + "</dbDatasource>";
        prefs.replace(prefs.find(server), server.size(), "<dbDatasource>" + folder.string() + "</dbDatasource>");
        std::ofstream(dir / "prefs.xml") << prefs;
        setTimeout(dir / "prefs.xml", 1);
        // Without a bound on the wait the run would hang: the guard ends it.
        const std::string guarded = "cd '" + dir.string() + "' && exec timeout -s KILL 60 '" + program.string() +
                                    "' --server-prefs prefs.xml --database " + database + " --c-drive '" +
                                    (dir / "c").string() + "'";
        r = finish(start(dir, guarded));
        silenced = proxy.silenced();
    }
    fs::remove_all(folder);
    EXPECT_TRUE(silenced);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (int id : ids) {
        EXPECT_EQ(statusOf(id), 3) << "report " << id << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find("Graphic report " + std::to_string(id) + ": status 3\n"), std::string::npos) << r.out;
    }
}

} // namespace
} // namespace batchtest
