// The standard hatch patterns a report may name, beyond the few the host knew: applied through cadhost on
// the report plan, plotted, and saved with their line families as ezdxf's own pattern table gives them.
#include "EditedPlans.h"

namespace reportstest {
namespace {

using StandardPatterns = EditedPlans;

// Each hatch of the saved drawing: its pattern's name, then whether its definition lines have the angles
// of ezdxf's table for that name, one by one ("same" or what differs).
const char* const kReadPatterns = R"(
import sys, ezdxf
from ezdxf.tools.pattern import ISO_PATTERN
for hatch in ezdxf.readfile(sys.argv[1]).modelspace().query("HATCH"):
    name = hatch.dxf.pattern_name
    saved = [round(line.angle % 360, 6) for line in hatch.pattern.lines] if hatch.pattern else []
    known = [round(line[0] % 360, 6) for line in ISO_PATTERN.get(name.upper(), [])]
    print(name, "same" if saved and saved == known else "%s against %s" % (saved, known))
)";

TEST_F(StandardPatterns, AReportNamingAStandardPatternHatchesAndSavesItsLineFamilies) {
    std::ofstream(dir / "read.py") << kReadPatterns;
    // Each was unknown: no hatch, and the batch gave 14.
    for (const std::string pattern :
         {"HONEY", "GRAVEL", "AR-CONC", "ESCHER", "TRIANG", "AR-B816", "ACAD_ISO10W100", "hex", "AR-RSHKE", "ANSI31"}) {
        SCOPED_TRACE(pattern);
        writeReport("plain.xml", green, "*");
        std::string report = slurpText(dir / "plain.xml");
        const std::string solid = "<cHatchPattern>SOLID</cHatchPattern>";
        report.replace(report.find(solid), solid.size(), "<cHatchPattern>" + pattern + "</cHatchPattern>");
        std::ofstream(dir / "pattern.xml") << report;
        fs::remove(dir / "pattern.png");
        Outcome r = run("report_plan.dxf", magr(windowsPath("pattern.xml")) + "SAVE\nPLOT pattern.png\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_TRUE(fs::exists(dir / "pattern.png"));
        EXPECT_TRUE(has(r, "graphic report successfully applied.")) << r.out;
        EXPECT_FALSE(has(r, "eUnknownPattern")) << r.out;
        const std::string read = capture("/usr/bin/python3 '" + (dir / "read.py").string() + "' '" +
                                         (dir / "report_plan.dxf").string() + "'");
        std::string upper = pattern;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(count(read, " same\n"), 4u) << read; // the four rooms
        EXPECT_EQ(count(read, upper + " same\n"), 4u) << read;
    }
}

} // namespace
} // namespace reportstest
