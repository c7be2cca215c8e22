// What a batch run writes: never one file twice, never over a drawing of the run, output names that
// are refused when they hold a folder or clean to nothing, and names up to the file-name limit.
#include "ReportCases.h"

namespace batchtest {
namespace {

using Case = ReportCase;
using Outputs = ReportCases;

TEST_F(Outputs, AFileTheRunHasWrittenIsNeverWrittenAgainAndANameThatCleansToNothingIsRefused) {
    Report xmlOverFirst = named("other");
    xmlOverFirst.xmlOutputTo = "Floor 3.xml";
    Report firstCopy = named("first copy");
    firstCopy.saveCopyTo = windowsPath(dir / "copies" / "shared.dxf");
    Report secondCopy = named("second copy");
    secondCopy.saveCopyTo = windowsPath(dir / "copies" / "shared.dxf");
    std::vector<Case> cases = {
        {"the first of two names alike after the extension rule", named("Floor 3.1 occupancy"), 3},
        {"the second of them", named("Floor 3.2 occupancy"), 11},
        {"the same name in other letter case", named("FLOOR 3.pdf"), 11},
        {"an XML over the first report's XML", xmlOverFirst, 13},
        {"a copy", firstCopy, 3},
        {"a second copy to the same file", secondCopy, 12},
        {"a dot", named("."), 11},
        {"dots", named("..."), 11},
        {"dots and blanks", named(". ."), 11},
        {"a folder up", named("..\\escaped"), 11},
        {"a forward slash", named("sub/name"), 11},
        {"a drive", named("C:name"), 11},
        {"a full path", named("Z:\\tmp\\name.pdf"), 11},
    };
    Outcome r = prepare(cases);
    const std::string first = std::to_string(ids[0]);
    EXPECT_NE(r.out.find("Graphic report " + std::to_string(ids[1]) + ": " + windowsPath(dir / "out" / "Floor 3.pdf") +
                         " was written by graphic report " + first + " - not written again\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("was written by graphic report " + std::to_string(ids[4]) + " - not written again\n"),
              std::string::npos)
        << r.out;
    // The first report's plot and XML are its own.
    EXPECT_NE(slurp(dir / "out" / "Floor 3.xml").find("<grTitle>" + std::string(cases[0].what) + "</grTitle>"),
              std::string::npos);
    EXPECT_NE(slurp(dir / "copies" / "shared.dxf").find("ENTITIES"), std::string::npos);
    for (const char* stray : {"..pdf", ".pdf", "escaped.pdf", "name.pdf"})
        EXPECT_FALSE(fs::exists(dir / "out" / stray)) << stray;
    EXPECT_FALSE(fs::exists(dir / "escaped.pdf"));
}

TEST_F(Outputs, ACopyOrXmlTargetThatIsADrawingOfTheRunOrTheCopyIsRefusedAndTheDrawingKept) {
    fs::copy_file(dir / "plans" / "plan_mm.dxf", dir / "plans" / "other.dxf");
    const std::string other = slurp(dir / "plans" / "other.dxf");
    const std::string otherPath = windowsPath(dir / "plans" / "other.dxf");
    Report copyOverOther = named("copy over other");
    copyOverOther.saveCopyTo = otherPath;
    Report copyNamedOther = named("copy named other");
    copyNamedOther.saveCopyTo = "OTHER.DXF"; // beside the drawing, in other letter case
    Report xmlOverOther = named("xml over other");
    xmlOverOther.xmlOutputTo = otherPath;
    Report xmlOverCopy = named("xml over copy");
    xmlOverCopy.saveCopyTo = windowsPath(dir / "copies" / "both.dxf");
    xmlOverCopy.xmlOutputTo = windowsPath(dir / "copies" / "both.dxf");
    Report xmlAsDrawing = named("xml as drawing");
    xmlAsDrawing.xmlOutputTo = windowsPath(dir / "xml" / "new.dxf");
    Report xmlAsDwg = named("xml as dwg");
    xmlAsDwg.xmlOutputTo = "report.DWG";
    Report otherItself = named("other itself"); // prepared after the others, on its intact drawing
    otherItself.drawingFilename = "other.dxf";
    // A report that cannot be loaded still names a drawing of the run.
    fs::copy_file(dir / "plans" / "plan_mm.dxf", dir / "plans" / "unloadable.dxf");
    Report unloadable = named("unloadable");
    unloadable.drawingFilename = "unloadable.dxf";
    pgQuery(database, "INSERT INTO report_category (report_id, hatch_pattern, hatch_colour) VALUES (" +
                          std::to_string(add(unloadable)) + ", 'SOLID', 'red')");
    Report copyOverUnloadable = named("copy over unloadable");
    copyOverUnloadable.saveCopyTo = windowsPath(dir / "plans" / "unloadable.dxf");
    std::vector<Case> cases = {
        {"a copy over another report's drawing", copyOverOther, 12},
        {"a copy by file name over another report's drawing", copyNamedOther, 12},
        {"an XML over another report's drawing", xmlOverOther, 13},
        {"an XML over the report's own copy", xmlOverCopy, 13},
        {"an XML named as a DXF drawing", xmlAsDrawing, 13},
        {"an XML named as a DWG drawing", xmlAsDwg, 13},
        {"the other drawing's own report", otherItself, 3},
        {"a copy over the drawing of a report that cannot be loaded", copyOverUnloadable, 12},
    };
    prepare(cases);
    EXPECT_EQ(slurp(dir / "plans" / "other.dxf"), other);
    EXPECT_EQ(slurp(dir / "plans" / "unloadable.dxf"), other);
    EXPECT_NE(slurp(dir / "copies" / "both.dxf").find("ENTITIES"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "xml" / "new.dxf"));
    EXPECT_FALSE(fs::exists(dir / "out" / "report.DWG"));
}

TEST_F(Outputs, DrawingNamesOutputFoldersAndNamesUpToTheFileNameLimitGetTheirOwnStatus) {
    fs::create_directories(dir / "plans" / "folder.dxf");
    Report noName;
    noName.drawingFilename = std::nullopt;
    Report emptyName;
    emptyName.drawingFilename = "";
    Report folderName;
    folderName.drawingFilename = "folder.dxf";
    Report relative = named("relative");
    relative.outputPath = "out";
    Report longest = named(std::string(250, 'a'));       // 254 bytes with ".pdf", and its XML as long
    longest.saveCopyTo = std::string(251, 'c') + ".dxf"; // 255 bytes, beside the drawing
    std::vector<Case> cases = {
        {"no drawing file name", noName, 4},
        {"an empty drawing file name", emptyName, 4},
        {"a drawing file name that is a folder", folderName, 4},
        {"an output folder relative to nothing", relative, 10},
        {"names of 254 and 255 bytes", longest, 3},
    };
    prepare(cases);
    EXPECT_GT(fs::file_size(dir / "out" / (std::string(250, 'a') + ".pdf")), 0u);
    EXPECT_NE(slurp(dir / "out" / (std::string(250, 'a') + ".xml")).find("<grID>"), std::string::npos);
    EXPECT_NE(slurp(dir / "plans" / (std::string(251, 'c') + ".dxf")).find("ENTITIES"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "relative.pdf"));
    EXPECT_TRUE(fs::is_empty(dir / "c" / "CadHost" / "kelmo" / "temp"));
}

} // namespace
} // namespace batchtest
