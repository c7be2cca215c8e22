// Where a batch run may write: targets compared by the file they reach (through linked folders), the
// drawings of every report in the register, the batch's own server preferences and error log, and
// output names the file system cannot take or that only look alike.
#include <libxml/parser.h>

#include <cstdio>

#include "ReportCases.h"
#include "module/CadhostRun.h"

namespace batchtest {
namespace {

using Case = ReportCase;

class Targets : public ReportCases {
protected:
    // Another copy of the plan in the plans folder; its bytes.
    std::string plan(const std::string& name) const {
        fs::copy_file(dir / "plans" / "plan_mm.dxf", dir / "plans" / name);
        return slurp(dir / "plans" / name);
    }
};

TEST_F(Targets, ATargetReachedThroughALinkedFolderIsTheFileItReachesAndIsNotWrittenOver) {
    const std::string own = slurp(dir / "plans" / "plan_mm.dxf");
    const std::string other = plan("other.dxf");
    fs::create_directory_symlink(dir / "plans", dir / "plans link");
    fs::create_directory_symlink(dir / "out", dir / "out link");
    fs::create_directory_symlink(dir / "copies", dir / "copies link");
    fs::create_symlink(dir / "plans" / "other.dxf", dir / "copies" / "linked other.dxf");
    const auto linkedPlans = [&](const char* name) { return windowsPath(dir / "plans link" / name); };
    Report copyOverOwn = named("copy over own");
    copyOverOwn.saveCopyTo = linkedPlans("plan_mm.dxf");
    Report copyOverOther = named("copy over other");
    copyOverOther.saveCopyTo = linkedPlans("OTHER.dxf");
    Report copyThroughLinkedFile = named("copy through a linked file");
    copyThroughLinkedFile.saveCopyTo = windowsPath(dir / "copies" / "linked other.dxf");
    Report xmlOverOther = named("xml over other");
    xmlOverOther.xmlOutputTo = linkedPlans("plan_mm.dxf");
    Report first = named("first");
    first.saveCopyTo = windowsPath(dir / "copies" / "first.dxf");
    Report secondPlot = named("first");
    secondPlot.outputPath = windowsPath(dir / "out link") + "\\";
    Report secondXml = named("second");
    secondXml.xmlOutputTo = windowsPath(dir / "out link" / "first.xml");
    Report secondCopy = named("third");
    secondCopy.saveCopyTo = windowsPath(dir / "copies link" / "FIRST.dxf");
    Report otherItself = named("other itself"); // prepared after the others, on its intact drawing
    otherItself.drawingFilename = "other.dxf";
    std::vector<Case> cases = {
        {"a copy through a linked plans folder onto the report's own drawing", copyOverOwn, 12},
        {"a copy through a linked plans folder onto another report's drawing", copyOverOther, 12},
        {"a copy through a linked file onto another report's drawing", copyThroughLinkedFile, 12},
        {"an XML through a linked plans folder onto a drawing", xmlOverOther, 13},
        {"the first report of the output folder", first, 3},
        {"a plot through a linked output folder onto the first's plot", secondPlot, 11},
        {"an XML through a linked output folder onto the first's XML", secondXml, 13},
        {"a copy through a linked folder onto the first's copy", secondCopy, 12},
        {"the other drawing's own report", otherItself, 3},
    };
    Outcome r = prepare(cases);
    EXPECT_EQ(slurp(dir / "plans" / "plan_mm.dxf"), own);
    EXPECT_EQ(slurp(dir / "plans" / "other.dxf"), other);
    EXPECT_TRUE(fs::is_symlink(dir / "copies" / "linked other.dxf"));
    EXPECT_NE(slurp(dir / "out" / "first.xml").find("<grTitle>" + std::string(cases[4].what) + "</grTitle>"),
              std::string::npos);
    EXPECT_NE(
        r.out.find("Graphic report " + std::to_string(ids[5]) + ": " + windowsPath(dir / "out link" / "first.pdf") +
                   " was written by graphic report " + std::to_string(ids[4]) + " - not written again\n"),
        std::string::npos)
        << r.out;
}

TEST_F(Targets, ADrawingOfAnyReportInTheRegisterIsNeverWrittenOverWhateverItsStatus) {
    const std::string done = plan("done.dxf");
    const std::string archived = plan("archived.dxf");
    const std::string plotNamed = plan("plot named.pdf");
    const std::string xmlNamed = plan("listed.xml");
    Report atThree;
    atThree.drawingFilename = "done.dxf";
    atThree.status = 3;
    Report atFive;
    atFive.drawingFilename = "archived.dxf";
    atFive.status = 5;
    Report pdfDrawing;
    pdfDrawing.drawingFilename = "plot named.pdf";
    pdfDrawing.status = 5;
    Report xmlDrawing;
    xmlDrawing.drawingFilename = "listed.xml";
    xmlDrawing.status = 3;
    std::vector<int> others;
    for (const Report& other : {atThree, atFive, pdfDrawing, xmlDrawing}) others.push_back(add(other));
    const std::string ownPlot = plan("own.pdf");
    Report plotOverOwn = named("own");
    plotOverOwn.drawingFilename = "own.pdf";
    plotOverOwn.outputPath = windowsPath(dir / "plans") + "\\";
    Report copyOverThree = named("copy over three");
    copyOverThree.saveCopyTo = windowsPath(dir / "plans" / "done.dxf");
    Report copyOverFive = named("copy over five");
    copyOverFive.saveCopyTo = "ARCHIVED.DXF"; // beside the drawing, in other letter case
    Report plotOverDrawing = named("plot named");
    plotOverDrawing.outputPath = windowsPath(dir / "plans") + "\\";
    Report xmlOverDrawing = named("xml over drawing");
    xmlOverDrawing.xmlOutputTo = windowsPath(dir / "plans" / "listed.xml");
    std::vector<Case> cases = {
        {"a copy over the drawing of a report at status 3", copyOverThree, 12},
        {"a copy by file name over the drawing of a report at status 5", copyOverFive, 12},
        {"a plot over a drawing whose name ends in the plot's extension", plotOverDrawing, 11},
        {"an XML over the drawing of a report at status 3", xmlOverDrawing, 13},
        {"a plot over its own drawing, whose name ends in the plot's extension", plotOverOwn, 11},
    };
    Outcome r = prepare(cases);
    EXPECT_EQ(slurp(dir / "plans" / "done.dxf"), done);
    EXPECT_EQ(slurp(dir / "plans" / "archived.dxf"), archived);
    EXPECT_EQ(slurp(dir / "plans" / "plot named.pdf"), plotNamed);
    EXPECT_EQ(slurp(dir / "plans" / "listed.xml"), xmlNamed);
    EXPECT_EQ(slurp(dir / "plans" / "own.pdf"), ownPlot);
    EXPECT_EQ(statusOf(others[0]), 3);
    EXPECT_EQ(statusOf(others[1]), 5);
    EXPECT_NE(r.out.find("Graphic report " + std::to_string(ids[0]) + ": " + windowsPath(dir / "plans" / "done.dxf") +
                         " is the drawing of graphic report " + std::to_string(others[0]) + " - not written over\n"),
              std::string::npos)
        << r.out;
}

TEST_F(Targets, ADrawingASessionHoldsOpenIsNamedAndNotWrittenOverAndItsSessionSavesItAfter) {
    const std::vector<std::string> held = {"held.dxf", "held.xml", "held.pdf"};
    std::vector<std::string> before;
    for (const std::string& name : held) before.push_back(plan(name));
    // A cadhost session holds the three open, as someone at a terminal would; it ends with its input.
    const fs::path cadhost = fs::path(KELMO_BINARY_DIR) / "host" / "cadhost";
    FILE* session = ::popen(("cd '" + (dir / "plans").string() + "' && exec '" + cadhost.string() +
                             "' --module '' --c-drive ../c held.dxf held.xml held.pdf >../session.txt 2>&1")
                                .c_str(),
                            "w");
    ASSERT_NE(session, nullptr);
    for (int wait = 0; wait < 300 && !fs::exists(dir / "plans" / ".held.pdf.lock"); ++wait) ::usleep(100000);
    ASSERT_TRUE(fs::exists(dir / "plans" / ".held.pdf.lock")) << slurp(dir / "session.txt");
    Report copy = named("copy over held");
    copy.saveCopyTo = windowsPath(dir / "plans" / "HELD.dxf");
    Report xml = named("xml over held");
    xml.xmlOutputTo = windowsPath(dir / "plans" / "held.xml");
    Report plot = named("held");
    plot.outputPath = windowsPath(dir / "plans") + "\\";
    Report free = named("free");
    free.saveCopyTo = windowsPath(dir / "copies" / "free.dxf");
    std::vector<Case> cases = {
        {"a copy over a drawing a session holds", copy, 12},
        {"an XML over a drawing a session holds", xml, 13},
        {"a plot over a drawing a session holds", plot, 11},
        {"a copy no session holds", free, 3},
    };
    Outcome r = prepare(cases);
    for (size_t i = 0; i < held.size(); ++i) EXPECT_EQ(slurp(dir / "plans" / held[i]), before[i]) << held[i];
    EXPECT_NE(r.out.find("Graphic report " + std::to_string(ids[1]) + ": " + windowsPath(dir / "plans" / "held.xml") +
                         " is a drawing open in another session (process "),
              std::string::npos)
        << r.out;
    EXPECT_EQ(cadhost_run::count(r.out, ") - not written over\n"), 3u) << r.out;
    // Nothing written over it, the session's own save is no save over another's.
    std::fputs("SAVE\nQUIT\n", session);
    EXPECT_EQ(::pclose(session), 0) << slurp(dir / "session.txt");
    EXPECT_NE(slurp(dir / "session.txt").find("Saved "), std::string::npos) << slurp(dir / "session.txt");
}

TEST_F(Targets, TheServerPreferencesAndTheErrorLogAreNeverWrittenAsAReportsOutput) {
    const std::string prefs = slurp(dir / "prefs.xml");
    std::ofstream(dir / "errors.xml") << "<errors/>\n";
    Report xmlOverPrefs = named("xml over prefs");
    xmlOverPrefs.xmlOutputTo = windowsPath(dir / "prefs.xml");
    Report xmlOverLog = named("xml over log");
    xmlOverLog.xmlOutputTo = "ERRORS.xml"; // beside the plot, in other letter case
    xmlOverLog.outputPath = windowsPath(dir) + "\\";
    Report copyOverPrefs = named("copy over prefs");
    copyOverPrefs.saveCopyTo = windowsPath(dir / "prefs.xml");
    std::vector<Case> cases = {
        {"an XML over the server preferences", xmlOverPrefs, 13},
        {"an XML by file name over the error log", xmlOverLog, 13},
        {"a copy over the server preferences", copyOverPrefs, 12},
    };
    Outcome r = prepare(cases);
    EXPECT_EQ(slurp(dir / "prefs.xml"), prefs);
    EXPECT_EQ(slurp(dir / "errors.xml").find("graphicReport"), std::string::npos);
    EXPECT_NE(r.out.find(windowsPath(dir / "prefs.xml") + " is the batch's server preferences or error log - not "
                                                          "written over\n"),
              std::string::npos)
        << r.out;
    // The next run still finds its server.
    const int next = add(named("next"));
    Outcome again = run("", "-again");
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(statusOf(next), 3);
}

TEST_F(Targets, AFileWhoseNameIsNotUtf8IsNeverTakenForAnOutputNameAndStaysAsItWas) {
    // Names a Latin-1 system wrote; the report's name reads them as U+FFFD would.
    for (const char* stray : {"caf\xe9.pdf", "caf\xe9.xml", "CAF\xc9.pdf"})
        std::ofstream(dir / "out" / stray) << "not the batch's\n";
    std::vector<Case> cases = {
        {"an output name holding U+FFFD", named("caf\xef\xbf\xbd"), 3},
        {"the same in capitals", named("CAF\xef\xbf\xbd"), 11},
    };
    prepare(cases);
    for (const char* stray : {"caf\xe9.pdf", "caf\xe9.xml", "CAF\xc9.pdf"})
        EXPECT_EQ(slurp(dir / "out" / stray), "not the batch's\n") << stray;
    EXPECT_GT(fs::file_size(dir / "out" / "caf\xef\xbf\xbd.pdf"), 0u);
    EXPECT_NE(slurp(dir / "out" / "caf\xef\xbf\xbd.xml").find("<grID>"), std::string::npos);
}

TEST_F(Targets, ATitleWithCharactersXmlCannotHoldIsWrittenAsWellFormedXml) {
    Report controls = named("controls");
    controls.title = "Floor\x01 3\x1f \xef\xbf\xbe\tend";
    std::vector<Case> cases = {{"a title with control characters and U+FFFE", controls, 3}};
    Outcome r = prepare(cases);
    const std::string xml = slurp(dir / "out" / "controls.xml");
    xmlDocPtr parsed = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "controls.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    EXPECT_NE(parsed, nullptr) << xml;
    xmlFreeDoc(parsed);
    EXPECT_NE(xml.find("<grTitle>Floor\xef\xbf\xbd 3\xef\xbf\xbd \xef\xbf\xbd\tend</grTitle>"), std::string::npos)
        << xml;
    EXPECT_NE(r.out.find("Graphic report " + std::to_string(ids[0]) +
                         ": the title holds characters XML cannot hold - written as U+FFFD\n"),
              std::string::npos)
        << r.out;
}

TEST_F(Targets, FoldersWithForwardSlashesAndNamesTooLongWithTheirExtensionGetTheirOwnStatus) {
    const auto forward = [](std::string path) {
        for (char& c : path)
            if (c == '\\') c = '/';
        return path + "/";
    };
    Report slashedOutput = named("slashed output");
    slashedOutput.outputPath = forward(windowsPath(dir / "out"));
    Report slashedDrawing = named("slashed drawing");
    slashedDrawing.drawingPath = forward(windowsPath(dir / "plans"));
    Report tooLong = named(std::string(252, 'a')); // 256 bytes with ".pdf"
    std::string accents;
    for (int i = 0; i < 28; ++i) accents += "\xc3\xa9";
    Report tooLongWide = named(std::string(84, 'a') + accents + std::string(112, 'b')); // 224 characters
    std::vector<Case> cases = {
        {"an output folder written with forward slashes", slashedOutput, 3},
        {"a drawing folder written with forward slashes", slashedDrawing, 3},
        {"a name of 252 bytes, 256 with its extension", tooLong, 11},
        {"a name of 228 characters, 256 bytes with its extension", tooLongWide, 11},
    };
    prepare(cases);
    EXPECT_GT(fs::file_size(dir / "out" / "slashed output.pdf"), 0u);
    EXPECT_GT(fs::file_size(dir / "out" / "slashed drawing.pdf"), 0u);
}

TEST_F(Targets, APlotAndItsXmlAreNamedAlikeBlanksAndAll) {
    // " lead" was plotted as " lead.pdf" and its XML written as lead.xml, over an older report's.
    const std::string older = "<?xml version=\"1.0\"?>\n<graphicReport/>\n";
    std::ofstream(dir / "out" / "lead.xml") << older;
    std::vector<Case> cases = {
        {"a name beginning with a blank", named(" lead"), 3},
        {"a name ending in a blank", named("trail "), 3},
    };
    prepare(cases);
    for (const std::string name : {" lead", "trail "}) {
        SCOPED_TRACE(name);
        EXPECT_GT(fs::file_size(dir / "out" / (name + ".pdf")), 0u);
        EXPECT_NE(slurp(dir / "out" / (name + ".xml")).find("<graphicReport"), std::string::npos);
    }
    EXPECT_EQ(slurp(dir / "out" / "lead.xml"), older) << "another report's XML stays";
    EXPECT_FALSE(fs::exists(dir / "out" / "trail.xml"));
}

TEST_F(Targets, AnXmlTargetThatIsTheModulesPreferencesOrAFileHoldingNoXmlIsRefusedAndNamed) {
    const fs::path prefsFolder = dir / "c" / "CadHost" / "kelmo" / "prefs";
    fs::create_directories(prefsFolder);
    std::ofstream(prefsFolder / "prefs.cfg") << "units\n0\n";
    std::ofstream(dir / "xml" / "nightly.sh") << "#!/bin/sh\necho nightly\n";
    std::ofstream(dir / "xml" / "notes.txt") << "";
    std::ofstream(dir / "xml" / "earlier.xml") << "<?xml version=\"1.0\"?>\n<graphicReport/>\n";
    std::ofstream(dir / "xml" / "locked.xml") << "<?xml version=\"1.0\"?>\n<graphicReport/>\n";
    fs::permissions(dir / "xml" / "locked.xml", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto xmlTo = [](const std::string& name, const std::string& target) {
        Report r = named(name);
        r.xmlOutputTo = target;
        return r;
    };
    Report copyOverPrefs = named("copy over prefs");
    copyOverPrefs.saveCopyTo = "C:\\CadHost\\kelmo\\prefs\\prefs.cfg";
    Report copySpaced = named("copy spaced");
    copySpaced.saveCopyTo = windowsPath(dir / "copies" / "c.dxf ");
    Report copyDotted = named("copy dotted");
    copyDotted.saveCopyTo = windowsPath(dir / "copies" / "d.dxf.");
    Report copyBlank = named("copy blank");
    copyBlank.saveCopyTo = windowsPath(dir / "copies") + "\\. .";
    std::vector<Case> cases = {
        {"an XML over the module's preferences", xmlTo("prefs", "C:\\CadHost\\kelmo\\prefs\\prefs.cfg"), 13},
        {"the same through its Z: path in capitals", xmlTo("prefs z", windowsPath(prefsFolder / "PREFS.CFG")), 13},
        {"a copy over the module's preferences", copyOverPrefs, 12},
        {"an XML over a shell script", xmlTo("script", windowsPath(dir / "xml" / "nightly.sh")), 13},
        {"an XML over an empty file", xmlTo("empty", windowsPath(dir / "xml" / "notes.txt")), 13},
        {"an XML over an earlier XML", xmlTo("earlier", windowsPath(dir / "xml" / "earlier.xml")), 3},
        {"an XML over a read-only file", xmlTo("locked", windowsPath(dir / "xml" / "locked.xml")), 13},
        {"a copy named with a trailing blank", copySpaced, 3},
        {"a copy named with a trailing dot", copyDotted, 3},
        {"an XML named with a trailing blank", xmlTo("xml spaced", windowsPath(dir / "xml" / "spaced.xml ")), 3},
        {"a copy named with nothing but dots and blanks", copyBlank, 12},
    };
    Outcome r = prepare(cases);
    EXPECT_EQ(slurp(prefsFolder / "prefs.cfg"), "units\n0\n");
    EXPECT_EQ(slurp(dir / "xml" / "nightly.sh"), "#!/bin/sh\necho nightly\n");
    EXPECT_EQ(slurp(dir / "xml" / "notes.txt"), "");
    EXPECT_NE(slurp(dir / "xml" / "earlier.xml").find("<grTitle>" + std::string(cases[5].what) + "</grTitle>"),
              std::string::npos);
    const auto said = [&](int i, const std::string& line) {
        EXPECT_NE(r.out.find("Graphic report " + std::to_string(ids[i]) + ": " + line + "\n"), std::string::npos)
            << cases[i].what << "\n"
            << r.out;
    };
    said(0, "C:\\CadHost\\kelmo\\prefs\\prefs.cfg is the module's preferences - not written over");
    said(3, "the XML " + windowsPath(dir / "xml" / "nightly.sh") +
                " would replace a file that holds no XML - not written");
    said(6, "the XML " + windowsPath(dir / "xml" / "locked.xml") + " cannot be written: it is read-only - not written");
    for (const char* name : {"c.dxf", "d.dxf"})
        EXPECT_NE(slurp(dir / "copies" / name).find("ENTITIES"), std::string::npos) << name;
    for (const char* name : {"c.dxf ", "d.dxf."}) EXPECT_FALSE(fs::exists(dir / "copies" / name)) << name;
    EXPECT_NE(slurp(dir / "xml" / "spaced.xml").find("<grID>"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "xml" / "spaced.xml "));
}

} // namespace
} // namespace batchtest
