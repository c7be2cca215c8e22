// Why a report was not prepared as it asked, on standard output and in the error log: hatch patterns
// and numbers no hatch can take, copy and XML targets refused, a plot that could not be written; and
// folders whose names hold full stops taken for the folders they are.
#include <sys/mount.h>

#include <algorithm>

#include "ReportCases.h"

namespace batchtest {
namespace {

using Case = ReportCase;

class Reasons : public ReportCases {
protected:
    // A category of the report over every space of its drawing.
    void category(int report, const std::string& columns, const std::string& values) const {
        const std::string id =
            pgQuery(database, "INSERT INTO report_category (report_id, title" + columns + ") VALUES (" +
                                  std::to_string(report) + ", 'Offices'" + values + ") RETURNING id")[0][0];
        pgQuery(database, "INSERT INTO category_block (category_id, handle) VALUES (" + id + ", '*')");
    }
    bool says(const Outcome& r, int id, const std::string& what) const {
        return r.out.find("Graphic report " + std::to_string(id) + ": " + what) != std::string::npos;
    }
};

TEST_F(Reasons, APlotSettingThePlotDoesNotKnowIsNamedAndAPlotTypeFailsTheReportWithNothingOpened) {
    const struct {
        const char* what;
        std::string column, value;
        int status;
        std::string said; // on standard output, after "Graphic report N: "
    } cases[] = {
        {"a plot type below the first", "plot_type_id", "-1", 14,
         "status 14 - the plot type -1 in the register is none the plot knows\n"},
        {"a plot type past the last", "plot_type_id", "2147483647", 14,
         "status 14 - the plot type 2147483647 in the register is none the plot knows\n"},
        {"a media size past the last", "plot_media_size_id", "99", 3,
         "the media size 99 in the register is none the plot knows - the first the plot knows is used\n"},
        {"a scale below the first", "plot_scale_type_id", "-3", 3,
         "the plot scale -3 in the register is none the plot knows - the first the plot knows is used\n"},
    };
    std::vector<int> reports;
    for (const auto& c : cases) {
        Report report = named(c.what);
        report.title = c.what;
        reports.push_back(add(report));
        pgQuery(database, "UPDATE graphic_report SET " + c.column + " = " + c.value +
                              " WHERE id = " + std::to_string(reports.back()));
    }
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (size_t i = 0; i < reports.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(statusOf(reports[i]), cases[i].status);
        EXPECT_TRUE(says(r, reports[i], cases[i].said)) << r.out;
        EXPECT_EQ(fs::exists(dir / "out" / (std::string(cases[i].what) + ".pdf")), cases[i].status == 3);
        // Nothing but the reason for a plot type: the drawing was not opened.
        EXPECT_EQ(r.out.find("applying graphic report " + std::string(cases[i].what)) != std::string::npos,
                  cases[i].status == 3)
            << r.out;
    }
}

TEST_F(Reasons, AHatchScaleTheHatchHoldsOnlyRoundedIsNamedAsTheRegisterHoldsIt) {
    const struct {
        const char* what;
        std::string scale;
        std::string said; // empty: no line
    } cases[] = {
        {"a scale too small to draw", "1e-9", "hatch scale 1e-09 the register holds is taken as 0"},
        {"a scale between two", "2.5", "hatch scale 2.5 the register holds is taken as 3"},
        {"a whole scale", "4", ""},
    };
    std::vector<int> reports;
    for (const auto& c : cases) {
        reports.push_back(add(named(c.what)));
        category(reports.back(), ", hatch_pattern, hatch_colour, hatch_scale", ", 'ANSI31', '#E07020', " + c.scale);
    }
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (size_t i = 0; i < reports.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(statusOf(reports[i]), 3);
    }
    EXPECT_NE(r.out.find("\t\tcategory Offices: hatch scale 1e-09 the register holds is taken as 0.\n"
                         "\t\tcategory Offices: hatch scale 0 is not above 0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\t\tcategory Offices: hatch scale 2.5 the register holds is taken as 3.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("hatch scale 4 "), std::string::npos) << r.out;
}

TEST_F(Reasons, AnUnknownPatternOrAHatchNumberNoHatchCanTakeFailsTheReportSayingWhy) {
    const struct {
        const char* what;
        std::string columns, values;
        std::string said; // on standard output, after "Graphic report N: "
    } cases[] = {
        {"an unknown pattern", ", hatch_pattern, hatch_colour", ", 'NOSUCHPATTERN', '#E07020'",
         "status 14 - the hatch pattern NOSUCHPATTERN of category Offices is unknown\n"},
        {"a scale past a whole number", ", hatch_pattern, hatch_scale", ", 'SOLID', 1e12",
         "the hatch scale 1e+12 of category Offices is no number the hatch can take\n"},
        {"a scale that is no number", ", hatch_pattern, hatch_scale", ", 'SOLID', 'NaN'",
         "the hatch scale NaN of category Offices is no number the hatch can take\n"},
        {"an infinite scale", ", hatch_pattern, hatch_scale", ", 'SOLID', '-Infinity'",
         "the hatch scale -INF of category Offices is no number the hatch can take\n"},
        {"an infinite angle", ", hatch_pattern, hatch_angle", ", 'SOLID', 'Infinity'",
         "the hatch angle INF of category Offices is no number the hatch can take\n"},
    };
    std::vector<int> reports;
    for (const auto& c : cases) {
        reports.push_back(add(named(c.what)));
        category(reports.back(), c.columns, c.values);
    }
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string log = slurp(dir / "errors.xml");
    for (size_t i = 0; i < reports.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(statusOf(reports[i]), 14);
        EXPECT_TRUE(says(r, reports[i], cases[i].said)) << r.out;
        const std::string reason = cases[i].said.substr(cases[i].said.find("the hatch"));
        EXPECT_NE(log.find(reason.substr(0, reason.size() - 1)), std::string::npos) << log;
        EXPECT_FALSE(fs::exists(dir / "out" / (std::string(cases[i].what) + ".pdf")));
    }
}

TEST_F(Reasons, AStandardPatternIsPreparedAndADrawingWhoseInsertsPlaceTooMuchFailsTheReportSayingWhy) {
    // The drawing's blocks nest eight deep, each placing the one below ten times: the run was killed
    // for memory with the report left claimed.
    const fs::path writer = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "commands" / "fan_out.py";
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + writer.string() + "' '" + (dir / "plans" / "plan_mm.dxf").string() +
                           "' '" + (dir / "plans").string() + "'")
                              .c_str()),
              0);
    const int honey = add(named("honey"));
    category(honey, ", hatch_pattern, hatch_colour", ", 'HONEY', '#E07020'");
    Report fanOut = named("nested");
    fanOut.drawingFilename = "nested.dxf";
    const int nested = add(fanOut);
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(honey), 3) << r.out;
    EXPECT_TRUE(fs::exists(dir / "out" / "honey.pdf"));
    EXPECT_EQ(statusOf(nested), 9) << r.out;
    EXPECT_TRUE(says(r, nested, "status 9 - ")) << r.out;
    EXPECT_NE(r.out.find("the drawing's inserts place more than 2097152 entities"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir / "out" / "nested.pdf"));
}

TEST_F(Reasons, ATotalAreaThatIsNoNumberIsWrittenAsXmlSpellsIt) {
    const struct {
        const char* value;
        const char* written;
        const char* name;
    } cases[] = {{"'NaN'", "NaN", "no number"},
                 {"'Infinity'", "INF", "infinite"},
                 {"'-Infinity'", "-INF", "less than any"},
                 {"12.5", "12.5", "a number"}};
    std::vector<int> reports;
    for (const auto& c : cases) {
        reports.push_back(add(named(c.name)));
        pgQuery(database, "UPDATE graphic_report SET total_child_areas = " + std::string(c.value) +
                              " WHERE id = " + std::to_string(reports.back()));
    }
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(statusOf(reports[i]), 3) << r.out;
        EXPECT_NE(slurp(dir / "out" / (std::string(cases[i].name) + ".xml"))
                      .find("<grTotalChildAreas>" + std::string(cases[i].written) + "</grTotalChildAreas>"),
                  std::string::npos)
            << cases[i].written;
    }
}

TEST_F(Reasons, FoldersWhoseNamesHoldFullStopsTakeTheCopyAndXmlAndEveryRefusalSaysWhy) {
    fs::create_directories(dir / "Plans v1.2");
    fs::create_directories(dir / "Floors.2024" / "copies");
    Report dotted = named("dotted");
    dotted.saveCopyTo = windowsPath(dir / "Plans v1.2") + "\\";
    dotted.xmlOutputTo = windowsPath(dir / "Floors.2024" / "copies");
    Report missingCopyFolder = named("missing copy folder");
    missingCopyFolder.saveCopyTo = windowsPath(dir / "gone") + "\\";
    Report relativeCopy = named("relative copy");
    relativeCopy.saveCopyTo = "copies\\plan.dxf";
    Report copyOverPlot = named("copy over plot");
    copyOverPlot.saveCopyTo = windowsPath(dir / "out" / "copy over plot.pdf");
    Report missingXmlFolder = named("missing xml folder");
    missingXmlFolder.xmlOutputTo = windowsPath(dir / "gone") + "\\";
    Report slashedXml = named("slashed xml");
    slashedXml.xmlOutputTo = "xml/report.xml";
    Report xmlOverCopy = named("xml over copy");
    xmlOverCopy.saveCopyTo = windowsPath(dir / "copies" / "both.bak");
    xmlOverCopy.xmlOutputTo = windowsPath(dir / "copies" / "both.bak");
    std::vector<Case> cases = {
        {"copy and XML into folders whose names hold full stops", dotted, 3},
        {"a copy folder that does not exist", missingCopyFolder, 12},
        {"a copy path without a drive", relativeCopy, 12},
        {"a copy over the plot", copyOverPlot, 12},
        {"an XML folder that does not exist", missingXmlFolder, 13},
        {"an XML path with a forward slash", slashedXml, 13},
        {"an XML over the copy", xmlOverCopy, 13},
    };
    Outcome r = prepare(cases);
    EXPECT_NE(slurp(dir / "Plans v1.2" / "plan_mm.dxf").find("ENTITIES"), std::string::npos);
    EXPECT_NE(slurp(dir / "Floors.2024" / "copies" / "plan_mm.xml").find("<grTitle>" + std::string(cases[0].what)),
              std::string::npos);
    const std::string gone = windowsPath(dir / "gone") + "\\";
    EXPECT_TRUE(says(r, ids[1], "the copy's folder " + gone + " does not exist - not written\n")) << r.out;
    EXPECT_TRUE(says(r, ids[2], "the copy target \"copies\\plan.dxf\" names no file or folder")) << r.out;
    EXPECT_TRUE(says(r, ids[3],
                     "the copy " + windowsPath(dir / "out" / "copy over plot.pdf") +
                         " would replace the report's drawing or its plot - not written\n"))
        << r.out;
    EXPECT_TRUE(says(r, ids[4], "the XML's folder " + gone + " does not exist - not written\n")) << r.out;
    EXPECT_TRUE(says(r, ids[5], "the XML target \"xml/report.xml\" names no file or folder")) << r.out;
    EXPECT_TRUE(says(
        r, ids[6],
        "the XML " + windowsPath(dir / "copies" / "both.bak") + " would replace the report's copy - not written\n"))
        << r.out;
}

TEST_F(Reasons, ACopyOrXmlTargetBehindLinksIsRefusedForWhatTheLinksAreAndForwardSlashesNameTheDriveFile) {
    // The loop was "the system cannot find the path specified", the chain "the folder does not exist",
    // and "Z:/..." named "no file or folder with a drive or a network path".
    fs::create_symlink("self.dxf", dir / "copies" / "self.dxf");
    for (int i = 1; i <= 45; ++i)
        fs::create_symlink("chain" + std::to_string(i + 1) + ".xml",
                           dir / "copies" / ("chain" + std::to_string(i) + ".xml"));
    const auto forward = [](std::string path) {
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    };
    Report loop = named("loop");
    loop.saveCopyTo = windowsPath(dir / "copies" / "self.dxf");
    Report chain = named("chain");
    chain.xmlOutputTo = windowsPath(dir / "copies" / "chain1.xml");
    Report slashed = named("slashed");
    slashed.saveCopyTo = forward(windowsPath(dir / "copies" / "slashed.dxf"));
    slashed.xmlOutputTo = forward(windowsPath(dir / "copies" / "slashed.xml"));
    std::vector<Case> cases = {
        {"a copy whose link leads to itself", loop, 12},
        {"an XML at the start of 45 links", chain, 13},
        {"a copy and an XML written with forward slashes", slashed, 3},
    };
    Outcome r = prepare(cases);
    EXPECT_TRUE(says(r, ids[0],
                     "the copy of the drawing failed: unable to copy drawing from temp location - its symbolic links "
                     "go round in a circle - not written\n"))
        << r.out;
    EXPECT_TRUE(says(r, ids[1],
                     "the XML " + windowsPath(dir / "copies" / "chain1.xml") +
                         " cannot be written: it is reached through more than 40 symbolic links - not written\n"))
        << r.out;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "copies" / "self.dxf")));
    EXPECT_NE(slurp(dir / "copies" / "slashed.dxf").find("ENTITIES"), std::string::npos);
    EXPECT_NE(slurp(dir / "copies" / "slashed.xml").find("<grTitle>" + std::string(cases[2].what)), std::string::npos);
}

TEST_F(Reasons, APlotThatCannotBeWrittenOnAFullDiskIsNamedWithTheReason) {
    const fs::path disk = dir / "full";
    fs::create_directories(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs can be mounted here";
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(1024, 'x');
        for (int i = 0; i < 128 && filler; ++i) filler << block << std::flush;
    }
    Report onFullDisk = named("plot");
    onFullDisk.outputPath = windowsPath(disk);
    const int id = add(onFullDisk);
    Outcome r = run();
    ::umount(disk.c_str());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 9);
    const std::string plot = windowsPath(disk / "plot.pdf");
    EXPECT_TRUE(says(r, id, "status 9 - cannot write ")) << r.out;
    EXPECT_NE(r.out.find(": the disk is full\n"), std::string::npos) << r.out;
    const std::string log = slurp(dir / "errors.xml");
    EXPECT_NE(
        log.find("Graphic report " + std::to_string(id) + ": the plot " + plot + " was not written: cannot write"),
        std::string::npos)
        << log;
}

} // namespace
} // namespace batchtest
