// Writes in folders another user may write too: a group-shared folder, one everyone may write, one with
// the sticky bit. The other user (nobody) acts from a process of its own at the moment it matters.
#include "cad/app/DocumentFile.h"
#include "classlib/File.h"
#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"
#include "win/Win32.h"
#include "xml/MsXml.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
constexpr uid_t kThirdUser = 1001; // a user with no name on this machine, nobody's group its own

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs `step` in a child process as the user and group given, its other groups dropped; whether it ended well.
bool as(uid_t user, gid_t group, const std::function<bool()>& step) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0) ::_exit(2);
        ::_exit(step() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Stat {
    uid_t user;
    gid_t group;
    mode_t mode;
};
Stat statOf(const fs::path& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return {st.st_uid, st.st_gid, st.st_mode & 07777};
}

class SharedFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "another user's steps need root";
        fs::remove_all(root);
        fs::create_directories(root / "private");
        ::chmod(root.c_str(), 0755);
        ::chmod((root / "private").c_str(), 0700);
        std::ofstream(secret) << "root's own";
        ::chmod(secret.c_str(), 0600);
        // A project folder of a group nobody is in, and one everyone may write with the sticky bit.
        fs::create_directories(group);
        ::chown(group.c_str(), 0, kNogroup);
        ::chmod(group.c_str(), 0775);
        fs::create_directories(sticky);
        ::chmod(sticky.c_str(), 01777);
        std::ofstream(source) << "the copy's bytes";
        win::setCDrive(root.string());
    }
    void TearDown() override { fs::remove_all(root); }
    static std::wstring windows(const fs::path& p) { return win::nativeToWindows(p.string()); }

public:
    const fs::path root = fs::temp_directory_path() / ("kelmo-shared-" + std::to_string(::getpid()));
    const fs::path secret = root / "private" / "secret";
    const fs::path source = root / "private" / "source.dxf";
    const fs::path group = root / "group";
    const fs::path sticky = root / "sticky";
};

// Nobody, in the group of the shared folder, swaps every temporary made there for a link to root's own
// file the moment it appears, for as long as this lives.
class Swapper {
public:
    Swapper(const fs::path& folder, const fs::path& to) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        child_ = ::fork();
        if (child_ == 0) {
            ::close(ready[0]);
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
            const int watch = ::inotify_init1(0);
            if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0) ::_exit(2);
            if (::write(ready[1], "x", 1) != 1) ::_exit(2);
            alignas(inotify_event) char buffer[1 << 14];
            for (;;) {
                const ssize_t n = ::read(watch, buffer, sizeof buffer);
                if (n <= 0) continue;
                for (char* p = buffer; p < buffer + n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(p);
                    const std::string name = e->len ? e->name : "";
                    if (name.rfind(".~", 0) == 0 && !fs::is_symlink(folder / name)) {
                        const fs::path at = folder / name;
                        ::unlink(at.c_str());
                        ::symlink(to.c_str(), at.c_str());
                    }
                    p += sizeof(inotify_event) + e->len;
                }
            }
        }
        ::close(ready[1]);
        char c = 0;
        if (::read(ready[0], &c, 1) != 1) stop();
        ::close(ready[0]);
    }
    ~Swapper() { stop(); }
    bool running() const { return child_ > 0; }

private:
    void stop() {
        if (child_ <= 0) return;
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
        child_ = -1;
    }
    pid_t child_ = -1;
};

IXMLDOMDocumentPtr xmlDocument(const wchar_t* rootName) {
    IXMLDOMDocumentPtr doc;
    EXPECT_EQ(doc.CreateInstance(L"Msxml2.DOMDocument", nullptr, CLSCTX_ALL), S_OK);
    doc->appendChild(doc->createElement(rootName));
    return doc;
}

// Each staged output's writers, handed the temporary by its name; what each wrote.
struct StagedWriter {
    const char* what;
    std::function<bool(const std::wstring& temp, const SharedFolder&)> write;
    std::string wrote;
};

std::vector<StagedWriter> stagedWriters(const fs::path& source) {
    return {
        {"the CSV, through the class library's text file",
         [](const std::wstring& temp, const SharedFolder&) {
             CStdioFile file;
             if (!file.Open(temp.c_str(), CFile::modeWrite | CFile::typeText)) return false;
             file.WriteString(L"Room;Area\n");
             file.Close();
             return true;
         },
         "Room;Area\r\n"},
        {"the batch's copy, through CopyFileW",
         [source](const std::wstring& temp, const SharedFolder&) {
             return CopyFileW(win::nativeToWindows(source.string()).c_str(), temp.c_str(), FALSE) != FALSE;
         },
         "the copy's bytes"},
        {"the XML, through the document's save",
         [](const std::wstring& temp, const SharedFolder&) {
             try {
                 xmlDocument(L"report")->save(temp.c_str());
                 return true;
             } catch (const _com_error&) {
                 return false;
             }
         },
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<report/>\r\n"},
        {"the plot, through the host's replacement",
         [](const std::wstring& temp, const SharedFolder&) {
             docfile::Replacement file;
             std::string native;
             return win::mapToNative(temp.c_str(), native, nullptr) && file.open(native) && file.write("%PDF plot") &&
                    file.commit();
         },
         "%PDF plot"},
    };
}

} // namespace

TEST_F(SharedFolder, NoOutputIsWrittenThroughALinkPutAtItsTemporarysNameNorPlacedWhenItIsNotTheFileWritten) {
    Swapper swapper(group, secret);
    ASSERT_TRUE(swapper.running());
    for (const StagedWriter& writer : stagedWriters(source)) {
        for (int trial = 0; trial < 25; ++trial) {
            const fs::path target = group / "out.dat";
            fs::remove(target); // a link nobody left there from the trial before
            std::ofstream(target) << "earlier";
            win::StagedFile staged(windows(target).c_str());
            ASSERT_TRUE(staged.made()) << writer.what << ": " << win::toUtf8(staged.why());
            const bool wrote = writer.write(staged.path(), *this);
            const bool ok = wrote && staged.place();
            ASSERT_EQ(slurp(secret), "root's own") << writer.what << ", trial " << trial;
            // Placed only as the file written; refused with the reason otherwise. (Whatever nobody puts at
            // the name itself, in a folder nobody may write, is nobody's doing.)
            if (ok) {
                EXPECT_FALSE(fs::is_symlink(target)) << writer.what << ", trial " << trial;
                EXPECT_EQ(slurp(target), writer.wrote) << writer.what;
            } else if (wrote) {
                EXPECT_NE(win::toUtf8(staged.why()).find("another program put a file of its own"), std::string::npos)
                    << writer.what << ": " << win::toUtf8(staged.why());
            }
        }
    }
    // A drawing's save, its temporary swapped as it is placed: "Saved" only over the file it wrote.
    for (int trial = 0; trial < 25; ++trial) {
        const fs::path drawing = group / "plan.dxf";
        fs::remove(drawing);
        std::ofstream(drawing) << "as read";
        docfile::Replacement file;
        ASSERT_TRUE(file.open(drawing.string())) << file.why();
        ASSERT_TRUE(file.write("this session's"));
        const bool saved = file.commit();
        ASSERT_EQ(slurp(secret), "root's own") << "trial " << trial;
        if (saved) {
            EXPECT_FALSE(fs::is_symlink(drawing)) << "trial " << trial;
            EXPECT_EQ(slurp(drawing), "this session's");
        } else {
            EXPECT_NE(file.why().find("another program put a file of its own"), std::string::npos) << file.why();
        }
    }
}

TEST_F(SharedFolder, ALinkAnotherUserPutInAStickyFolderEveryoneMayWriteIsRefusedByEveryWriter) {
    // Nobody's link at the output's name, to root's own file; root's own link there is followed.
    ASSERT_TRUE(as(kNobody, kNogroup, [&] { return ::symlink(secret.c_str(), (sticky / "out.png").c_str()) == 0; }));
    std::ofstream(root / "private" / "mine") << "root's earlier";
    fs::create_symlink(root / "private" / "mine", sticky / "mine.png");
    const std::string rule = "another user put in a folder everyone may write";
    {
        win::StagedFile staged(windows(sticky / "out.png").c_str());
        EXPECT_FALSE(staged.made());
        EXPECT_NE(win::toUtf8(staged.why()).find(rule), std::string::npos) << win::toUtf8(staged.why());
    }
    {
        docfile::Replacement file;
        EXPECT_FALSE(file.open((sticky / "out.png").string()));
        EXPECT_NE(file.why().find(rule), std::string::npos) << file.why();
    }
    EXPECT_FALSE(CopyFileW(windows(source).c_str(), windows(sticky / "out.png").c_str(), FALSE));
    EXPECT_THROW(xmlDocument(L"report")->save(windows(sticky / "out.png").c_str()), _com_error);
    EXPECT_EQ(slurp(secret), "root's own");
    EXPECT_TRUE(fs::is_symlink(sticky / "out.png"));
    // The link of the one who follows it is followed, and stays.
    win::StagedFile mine(windows(sticky / "mine.png").c_str());
    ASSERT_TRUE(mine.made()) << win::toUtf8(mine.why());
    ASSERT_TRUE(CopyFileW(windows(source).c_str(), mine.path().c_str(), FALSE));
    EXPECT_TRUE(mine.place()) << win::toUtf8(mine.why());
    EXPECT_EQ(slurp(root / "private" / "mine"), "the copy's bytes");
    EXPECT_TRUE(fs::is_symlink(sticky / "mine.png"));
}

TEST_F(SharedFolder, NoDeliveredFileCarriesTheTemporarysMarkSoACopyKeptUnderATemporarysNameStays) {
    // Written by a session that has ended, then kept by the user the ways that keep extended attributes.
    const fs::path plot = group / "plan.png";
    ASSERT_TRUE(as(0, 0, [&] {
        win::StagedFile staged(windows(plot).c_str());
        return staged.made() && CopyFileW(windows(source).c_str(), staged.path().c_str(), FALSE) && staged.place();
    }));
    docfile::Replacement drawing;
    ASSERT_TRUE(as(0, 0, [&] {
        return drawing.open((group / "plan.dxf").string()) && drawing.write("drawn") && drawing.commit();
    }));
    char mark[256];
    if (::setxattr(source.c_str(), "user.kelmo.probe", "x", 1, 0) != 0) GTEST_SKIP() << "no user extended attributes";
    EXPECT_LT(::getxattr(plot.c_str(), "user.kelmo.temporary", mark, sizeof mark), 0);
    EXPECT_LT(::getxattr((group / "plan.dxf").c_str(), "user.kelmo.temporary", mark, sizeof mark), 0);
    ASSERT_EQ(std::system(("cp -a '" + (group / "plan.dxf").string() + "' '" + (group / ".~plan.dxf.backup").string() +
                           "' && mv '" + plot.string() + "' '" + (group / ".~plan.png.before").string() + "'")
                              .c_str()),
              0);
    // A copy of a temporary of a killed write made with its mark is no temporary either.
    const std::string killed = [&] {
        std::string temp;
        const pid_t child = ::fork();
        if (child == 0) {
            const int fd = win::makeTemporary(plot.string(), temp);
            ::_exit(fd >= 0 ? 0 : 1);
        }
        ::waitpid(child, nullptr, 0);
        for (const auto& e : fs::directory_iterator(group))
            if (e.path().filename().string().rfind(".~plan.png.", 0) == 0 && e.path().filename() != ".~plan.png.before")
                return e.path().string();
        return std::string();
    }();
    ASSERT_FALSE(killed.empty());
    ASSERT_EQ(std::system(("cp -a '" + killed + "' '" + (group / ".~plan.png.kept01").string() + "'").c_str()), 0);
    win::StagedFile again(windows(plot).c_str());
    ASSERT_TRUE(again.made());
    ASSERT_TRUE(again.place()) << win::toUtf8(again.why());
    EXPECT_TRUE(fs::exists(group / ".~plan.dxf.backup"));
    EXPECT_TRUE(fs::exists(group / ".~plan.png.before"));
    EXPECT_TRUE(fs::exists(group / ".~plan.png.kept01"));
    EXPECT_FALSE(fs::exists(killed)) << "the killed write's own temporary is swept";
}

TEST_F(SharedFolder, NewFilesTakeTheUmaskOfTheProcessThatMakesThem) {
    // Under umask 077 every writer's new file is the user's alone.
    const mode_t before = ::umask(077);
    {
        win::StagedFile staged(windows(group / "new.csv").c_str());
        EXPECT_TRUE(staged.made() && staged.place());
        EXPECT_TRUE(CopyFileW(windows(source).c_str(), windows(group / "new.dxf").c_str(), FALSE));
        xmlDocument(L"report")->save(windows(group / "new.xml").c_str());
        docfile::Replacement file;
        EXPECT_TRUE(file.open((group / "new.png").string()) && file.write("plot") && file.commit());
    }
    ::umask(before);
    for (const char* name : {"new.csv", "new.dxf", "new.xml", "new.png"})
        EXPECT_EQ(statOf(group / name).mode, 0600u) << name;
}

TEST_F(SharedFolder, AReplacedFileKeepsItsOwnerAndGroupOrIsWrittenInPlaceWhereItMayNotBeReplaced) {
    // Root saving nobody's drawing leaves it nobody's.
    const fs::path drawing = group / "shared.dxf";
    std::ofstream(drawing) << "nobody's";
    ::chown(drawing.c_str(), kNobody, kNogroup);
    ::chmod(drawing.c_str(), 0664);
    docfile::Replacement save;
    ASSERT_TRUE(save.open(drawing.string()) && save.write("root saved") && save.commit()) << save.why();
    EXPECT_EQ(statOf(drawing).user, kNobody);
    EXPECT_EQ(statOf(drawing).group, kNogroup);
    EXPECT_EQ(statOf(drawing).mode, 0664u);

    // Nobody saving a third user's drawing in their shared group: that user could write it, and still can.
    const fs::path third = group / "third.dxf";
    std::ofstream(third) << "the third's";
    ::chown(third.c_str(), kThirdUser, kNogroup);
    ::chmod(third.c_str(), 0664);
    ASSERT_TRUE(as(kNobody, kNogroup, [&] {
        docfile::Replacement file;
        return file.open(third.string()) && file.write("nobody saved") && file.commit();
    }));
    EXPECT_EQ(slurp(third), "nobody saved");
    EXPECT_EQ(statOf(third).user, kThirdUser);
    EXPECT_EQ(statOf(third).group, kNogroup);
    EXPECT_EQ(statOf(third).mode, 0664u);

    // In a sticky folder, a third user saves nobody's drawing that they may write but not replace.
    const fs::path theirs = sticky / "theirs.dxf";
    std::ofstream(theirs) << "nobody's";
    ::chown(theirs.c_str(), kNobody, kNogroup);
    ::chmod(theirs.c_str(), 0666);
    ASSERT_TRUE(as(kThirdUser, kThirdUser, [&] {
        docfile::Replacement file;
        return file.open(theirs.string()) && file.write("the third saved") && file.commit();
    }));
    EXPECT_EQ(slurp(theirs), "the third saved");
    EXPECT_EQ(statOf(theirs).user, kNobody);
    for (const auto& e : fs::directory_iterator(sticky))
        EXPECT_NE(e.path().filename().string().rfind(".~", 0), 0u) << e.path();
}

TEST_F(SharedFolder, AUserWhoMayOnlyReadTheFolderOrTheDrawingStopsNoSave) {
    const fs::path drawing = group / "plan.dxf";
    std::ofstream(drawing) << "as read";
    ::chmod(drawing.c_str(), 0644);
    // Nobody, who may read both, holds them locked for long.
    ::chmod(group.c_str(), 0755);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t reader = ::fork();
    if (reader == 0) {
        ::close(ready[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
        const int folder = ::open(group.c_str(), O_RDONLY | O_DIRECTORY);
        const int file = ::open(drawing.c_str(), O_RDONLY);
        if (::flock(folder, LOCK_EX) != 0 || ::flock(file, LOCK_EX) != 0 || ::write(ready[1], "x", 1) != 1) ::_exit(2);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    const auto start = std::chrono::steady_clock::now();
    docfile::Replacement save;
    const bool saved = save.open(drawing.string()) && save.write("saved") && save.commit();
    const auto took = std::chrono::steady_clock::now() - start;
    win::StagedFile staged(windows(group / "plan.csv").c_str());
    const bool placed = staged.made() && staged.place();
    ::kill(reader, SIGKILL);
    ::waitpid(reader, nullptr, 0);
    EXPECT_TRUE(saved) << save.why();
    EXPECT_TRUE(placed) << win::toUtf8(staged.why());
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(slurp(drawing), "saved");
}

TEST_F(SharedFolder, ADrawingAtAPathNearTheLongestAPathMayBeIsSaved) {
    // A folder whose path leaves room for the drawing's name but not for its temporary's.
    fs::path deep = root;
    while (deep.string().size() <= PATH_MAX - 256) deep /= std::string(200, 'd');
    fs::create_directories(deep);
    const std::size_t length = PATH_MAX - 6;
    const fs::path drawing = deep / (std::string(length - deep.string().size() - 1 - 4, 'p') + ".dxf");
    ASSERT_EQ(drawing.string().size(), length);
    std::ofstream(drawing) << "as read";
    docfile::Replacement save;
    EXPECT_TRUE(save.open(drawing.string()) && save.write("saved") && save.commit()) << save.why();
    EXPECT_EQ(slurp(drawing), "saved");
    for (const auto& e : fs::directory_iterator(deep))
        EXPECT_NE(e.path().filename().string().rfind(".~", 0), 0u) << e.path().filename();
}
