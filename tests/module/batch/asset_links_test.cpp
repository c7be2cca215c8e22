// A report from the register whose asset carries more hyperlinks than the asset's extended data holds:
// the asset is named with its error and the rest of the report is prepared, on the report plan
// (tests/data/reports/make_report_plans.py).
#include <algorithm>

#include "ReportPlans.h"

namespace batchtest {
namespace {

class AssetLinks : public ReportPlans {
protected:
    // The drawing's hatches, "hatch|LAYER" each.
    std::vector<std::string> hatchesOf(const fs::path& drawing) const {
        std::vector<std::string> found;
        for (const std::string& fact : facts(drawing))
            if (fact.rfind("hatch|", 0) == 0) found.push_back(fact.substr(0, fact.find("|SOLID|")));
        return found;
    }
};

TEST_F(AssetLinks, AnAssetWhoseHyperlinksDoNotFitIsNamedAndTheRestOfTheReportIsPrepared) {
    Report row;
    row.title = "Level 1 use";
    row.drawingFilename = "report_plan.dxf";
    row.plotType = 3;
    row.outputFilename = "level1";
    row.saveCopyTo = windowsPath(dir / "copies");
    const std::string id = std::to_string(add(row));
    pgQuery(database, "UPDATE graphic_report SET total_child_areas = 100 WHERE id = " + id);
    const std::string desks = category(id, "DESKS", "#E0A000");
    const std::string offices = category(id, "OFFICES", "#E07020");
    // The first desk hatched with 70 links of 250 characters: more than one entity's extended data holds.
    pgQuery(database, "INSERT INTO category_asset (category_id, handle) VALUES (" + desks + ", '" + handles["desk1"] +
                          "'), (" + desks + ", '" + handles["desk2"] + "')");
    pgQuery(database, "INSERT INTO category_hyperlink (category_id, kind, handle, href) SELECT " + desks + ", 'a', '" +
                          handles["desk1"] +
                          "', 'http://plans/' || n || '/' || repeat('a', 230) FROM generate_series(1, 70) n");
    pgQuery(database,
            "INSERT INTO category_block (category_id, handle) VALUES (" + offices + ", '" + handles["Office A"] + "')");

    Outcome r = run();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(std::stoi(id)), 3) << r.out;
    EXPECT_NE(r.out.find("\t\terror(s) occurred whilst applying asset DESK - " + handles["desk1"] + ".\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("eXdataSizeExceeded.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tapplying category OFFICES.\n"), std::string::npos) << r.out;
    // Both desks and the office are coloured.
    std::vector<std::string> hatches = hatchesOf(dir / "copies" / "report_plan.dxf");
    std::sort(hatches.begin(), hatches.end());
    EXPECT_EQ(hatches, (std::vector<std::string>{"hatch|HATCH-DESKS", "hatch|HATCH-DESKS", "hatch|HATCH-OFFICES"}));
}

} // namespace
} // namespace batchtest
