// Files no writer may replace: a read-only file (to root as well), a named pipe and a device stay as
// they are, and each writer (drawing, plot, XML, CSV) names the file and the reason; a symbolic link
// is written through to its file and stays. What is no file is not read either, and no reader waits on it.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

enum class Kind { readOnly, pipe, device, link };

class ProtectedTargets : public SpaceCommands {
protected:
    // The file a link of that name leads to, beside it.
    fs::path real(const std::string& name) const {
        return (dir / name).parent_path() / ("real-" + (dir / name).filename().string());
    }
    // Makes the file of that kind at the name; false when it cannot be made here.
    bool make(Kind kind, const std::string& name) const {
        const fs::path at = dir / name;
        switch (kind) {
            case Kind::readOnly:
                std::ofstream(at) << "old";
                fs::permissions(at, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
                return true;
            case Kind::pipe:
                return ::mkfifo(at.c_str(), 0644) == 0;
            case Kind::device: // the null device's numbers
                return ::mknod(at.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
            case Kind::link:
                std::ofstream(real(name)) << "old";
                fs::create_symlink(real(name).filename(), at);
                return true;
        }
        return false;
    }
    // The file is as it was made.
    bool unchanged(Kind kind, const std::string& name) const {
        const fs::path at = dir / name;
        switch (kind) {
            case Kind::readOnly:
                return slurp(at) == "old" &&
                       (fs::status(at).permissions() & fs::perms::all) ==
                           (fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            case Kind::pipe:
                return fs::is_fifo(fs::symlink_status(at));
            case Kind::device:
                return fs::is_character_file(fs::symlink_status(at));
            case Kind::link:
                return fs::is_symlink(fs::symlink_status(at)) && slurp(real(name)) == "old";
        }
        return false;
    }
};

TEST_F(ProtectedTargets, NoWriterReplacesAReadOnlyFileAPipeOrADeviceAndALinkIsWrittenThrough) {
    const struct {
        Kind kind;
        const char* what;
        const char* reason;
    } cases[] = {
        {Kind::readOnly, "a read-only file", "it is read-only"},
        {Kind::pipe, "a named pipe", "it is a named pipe, not a file"},
        {Kind::device, "a device", "it is a device, not a file"},
        {Kind::link, "a symbolic link", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        // The CSV export writes beside the drawing, under its name.
        const std::vector<std::string> names = {"out/t.dxf", "out/t.pdf", "out/t.xml", "plan_mm.csv"};
        fs::remove(dir / "plan_mm.csv");
        bool made = true;
        for (const std::string& name : names) made = make(c.kind, name) && made;
        if (!made) {
            EXPECT_EQ(c.kind, Kind::device) << "cannot make " << c.what;
            continue;
        }
        // The message box of a refused XML file is answered.
        Outcome r = run("plan_mm.dxf", "mcsv\nSAVEAS out/t.dxf\nPLOT out/t.pdf\nmd9\n" + windowsPath("out/t.xml") +
                                           (c.reason ? "\nok\n" : "\n"));
        if (c.reason) {
            EXPECT_EQ(r.status, 1);
            for (const std::string& name : names) EXPECT_TRUE(unchanged(c.kind, name)) << name;
            EXPECT_NE(r.err.find("t.dxf: the file cannot be written: " + std::string(c.reason) + "\n"),
                      std::string::npos)
                << r.err;
            EXPECT_NE(r.err.find("t.pdf: " + std::string(c.reason) + "\n"), std::string::npos) << r.err;
            // Every writer names the kind of file refused, in one wording.
            EXPECT_TRUE(has(r, windowsPath("out/t.xml") + " - " + c.reason + "\n")) << r.out;
            EXPECT_TRUE(
                has(r, "Unable to save csv data to file (" + windowsPath("plan_mm.csv") + ") - " + c.reason + "\n"))
                << r.out;
            EXPECT_NE(r.err.find("test.scr:1: mcsv did not write " + windowsPath("plan_mm.csv") + ": " + c.reason),
                      std::string::npos)
                << r.err;
        } else {
            EXPECT_EQ(r.status, 0) << r.err << r.out;
            EXPECT_TRUE(has(r, "xml test completed successfully")) << r.out;
            for (const std::string& name : names) {
                EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / name))) << name;
                EXPECT_GT(fs::file_size(real(name)), 3u) << name;
            }
        }
    }
}

TEST_F(ProtectedTargets, TheCsvIsWrittenThroughNothingThatStandsAtATemporarysNameBesideIt) {
    // The CSV went through the fixed name ".~plan_mm.csv": a link planted there had the file it leads to
    // replaced by the CSV, and a file there was emptied and taken.
    enum class Planted { symbolicLink, hardLink, file };
    const struct {
        Planted planted;
        const char* what;
    } cases[] = {
        {Planted::symbolicLink, "a symbolic link to another file"},
        {Planted::hardLink, "a hard link to another file"},
        {Planted::file, "a file of the user's"},
    };
    const fs::path planted = dir / ".~plan_mm.csv", precious = dir / "precious.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(planted);
        fs::remove(dir / "plan_mm.csv");
        std::ofstream(precious) << "precious";
        switch (c.planted) {
            case Planted::symbolicLink:
                fs::create_symlink(precious, planted);
                break;
            case Planted::hardLink:
                fs::create_hard_link(precious, planted);
                break;
            case Planted::file:
                fs::remove(precious);
                std::ofstream(planted) << "precious";
                break;
        }
        Outcome r = run("plan_mm.dxf", "mcsv\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r, "csv data successfully saved")) << r.out;
        EXPECT_EQ(slurp(dir / "plan_mm.csv").rfind("Code,Area,Units,Perimeter,Units", 0), 0u);
        EXPECT_EQ(slurp(planted), "precious");
        EXPECT_EQ(fs::is_symlink(fs::symlink_status(planted)), c.planted == Planted::symbolicLink);
        if (c.planted != Planted::file) {
            EXPECT_EQ(slurp(precious), "precious");
        }
        std::vector<std::string> temporaries;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().starts_with(".~")) temporaries.push_back(entry.path().filename());
        EXPECT_EQ(temporaries, std::vector<std::string>{".~plan_mm.csv"}) << "nothing left of the write";
    }
}

TEST_F(ProtectedTargets, NoReaderWaitsOnAPipeADeviceOrAFolderAndEachIsNamedAtOnce) {
    const struct {
        Kind kind;
        const char* what;
    } cases[] = {{Kind::pipe, "a named pipe"}, {Kind::device, "a device"}, {Kind::link, "a symbolic link"}};
    const fs::path prefs = dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "in");
        fs::create_directories(dir / "in");
        fs::remove(prefs);
        bool made = make(c.kind, "in/report.xml") && make(c.kind, "in/other.dxf");
        if (c.kind == Kind::link) {
            fs::copy_file(plans / "plan_mm.dxf", real("in/other.dxf"), fs::copy_options::overwrite_existing);
            std::ofstream(real("in/report.xml")) << "<graphicReport/>";
            writePrefs({});
            fs::rename(prefs, dir / "prefs.cfg");
            fs::create_symlink(dir / "prefs.cfg", prefs);
        } else {
            made = made && (c.kind == Kind::pipe ? ::mkfifo(prefs.c_str(), 0644) == 0
                                                 : ::mknod(prefs.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0);
        }
        if (!made) {
            EXPECT_EQ(c.kind, Kind::device) << "cannot make " << c.what;
            continue;
        }
        // Each waited for a writer (or read the zero device) for ever.
        std::ofstream(dir / "test.scr") << "magr\n" + windowsPath("in/report.xml") +
                                               "\n\n\n\n\n\n\nOPEN in/other.dxf\n";
        fs::copy_file(plans / "plan_mm.dxf", dir / "plan_mm.dxf", fs::copy_options::overwrite_existing);
        Outcome r =
            cadhost_run::runIn(dir, "timeout 20 '" + program.string() + "' --batch --c-drive '" + (dir / "c").string() +
                                        "' --module '" + module.string() + "' --script test.scr plan_mm.dxf");
        if (c.kind == Kind::link) {
            EXPECT_EQ(r.status, 0) << r.err << r.out;
            EXPECT_FALSE(has(r, "preferences")) << r.out;
            EXPECT_TRUE(has(r, "graphic report successfully applied")) << r.out;
            continue;
        }
        EXPECT_EQ(r.status, 1) << r.err << r.out;
        EXPECT_TRUE(has(r,
                        "Unable to read the preferences file - Access to C:\\CadHost\\kelmo\\prefs\\prefs.cfg "
                        "was denied.\nThe default preferences are used.\n"))
            << r.out;
        EXPECT_TRUE(
            has(r, "Graphic report file cannot be read - " + windowsPath("in/report.xml") + " - Access is denied."))
            << r.out;
        EXPECT_NE(r.err.find("cannot open in/other.dxf: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("other.dxf: it is " + std::string(c.what) + ", not a file"), std::string::npos) << r.err;
        EXPECT_TRUE(unchanged(c.kind, "in/report.xml"));
    }
}

TEST_F(ProtectedTargets, NoWriterReplacesTheFileOfAnOpenDrawingNorWritesAPathNamingAFolder) {
    // The two open drawings: plan_mm.dxf (current) and, opened first, one whose name is the CSV's.
    const struct {
        const char* what;
        std::string script;
        std::string refused; // the file named in the refusal
        std::string reason;
    } cases[] = {
        {"XML over the current drawing", "md9\nplan_mm.dxf\nok\n", "plan_mm.dxf",
         "it is the file of the open drawing " + windowsPath("plan_mm.dxf")},
        {"XML over another open drawing, in Windows form and another letter case",
         "md9\n" + windowsPath("PLAN_MM.csv") + "\nok\n", "plan_mm.csv",
         "it is the file of the open drawing " + windowsPath("plan_mm.csv")},
        {"CSV over an open drawing", "mcsv\n", "plan_mm.csv",
         "it is the file of the open drawing " + windowsPath("plan_mm.csv")},
        {"XML at a name ending in a slash", "md9\nout.xml/\nok\n", "", "it names a folder, not a file"},
        {"XML at a name ending in /.", "md9\nplan_mm.dxf/.\nok\n", "", "it names a folder, not a file"},
        {"a save at a name ending in a slash", "SAVEAS out.dxf/\n", "", "it names a folder, not a file"},
        {"a save at a name ending in \\.", "SAVEAS " + windowsPath("out.dxf") + "\\.\n", "",
         "it names a folder, not a file"},
        {"a plot at a name ending in /.", "PLOT out.png/.\n", "", "it names a folder, not a file"},
        // Windows would drop the dot and write out.xml: refused alike by every writer.
        {"a save at a name ending in a dot", "SAVEAS out.dxf.\n", "", "a file name cannot end in a dot or a blank"},
        {"XML at a name ending in a dot", "md9\nout.xml.\nok\n", "", "a file name cannot end in a dot or a blank"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::copy_file(plans / "plan_mm.dxf", dir / "plan_mm.csv", fs::copy_options::overwrite_existing);
        const std::string csvBefore = slurp(dir / "plan_mm.csv");
        Outcome r = run("plan_mm.dxf", "OPEN plan_mm.csv\nOPEN plan_mm.dxf\n" + c.script + "QUIT\n");
        EXPECT_EQ(r.status, 1) << "a refused write fails its line\n" << r.err;
        EXPECT_TRUE(has(r, c.reason) || r.err.find(c.reason) != std::string::npos) << r.out << r.err;
        if (!c.refused.empty()) {
            EXPECT_NE(r.err.find("did not write " + windowsPath(c.refused) + ": " + c.reason), std::string::npos)
                << r.err;
        }
        EXPECT_FALSE(has(r, "successfully")) << r.out;
        EXPECT_EQ(slurp(dir / "plan_mm.dxf"), slurp(plans / "plan_mm.dxf"));
        EXPECT_EQ(slurp(dir / "plan_mm.csv"), csvBefore);
        for (const char* name : {"out.xml", "out.dxf", "out.png", "out.xml.", "out.dxf."})
            EXPECT_FALSE(fs::exists(dir / name)) << name;
    }
}

} // namespace
} // namespace spacecommands
