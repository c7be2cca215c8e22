// A log written for the first time arrives whole with its first entry, in one step: the log's lock holds
// the file a save replaces, so a run waiting on it could take the new file between two saves and lose
// an entry.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <functional>

#include "CoreTestSupport.h"
#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "core/Log.h"

namespace {

// How many times a file of the name was renamed into the folder while the write ran (the temporaries'
// moves are watched too: identical events in a row would be read as one).
int renamesInto(const std::filesystem::path& folder, const std::string& name, const std::function<void()>& write) {
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0) return -1;
    if (::inotify_add_watch(watch, folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO) < 0) {
        ::close(watch);
        return -1;
    }
    write();
    int renames = 0;
    alignas(inotify_event) char buffer[16 * 1024];
    for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if ((e->mask & IN_MOVED_TO) && e->len > 0 && std::string(e->name) == name) ++renames;
        }
    }
    ::close(watch);
    return renames;
}

TEST(FirstLogEntry, ANewErrorOrDebugLogIsSavedOnceAndAnExistingOneOnceAnEntry) {
    coretest::TempCDrive drive;
    coretest::clearCommandLine();
    CEXKelmo* failure = new CEXCustom(L"The first failure.", KELMO_BANNER, L"Log.cpp", L"test", 0, nullptr);
    CLog log;
    const auto errorEntry = [&] { log.writeToXMLErrorLog(L"C:\\errors.xml", failure); };
    const auto debugEntry = [&] { log.writeToXMLDebugLog(L"C:\\debug.xml", L"a step", IXMLDOMNodePtr()); };
    EXPECT_EQ(renamesInto(drive.native(""), "errors.xml", errorEntry), 1);
    EXPECT_EQ(renamesInto(drive.native(""), "errors.xml", errorEntry), 1);
    EXPECT_EQ(renamesInto(drive.native(""), "debug.xml", debugEntry), 1);
    EXPECT_EQ(renamesInto(drive.native(""), "debug.xml", debugEntry), 1);
    failure->deleteException();
    // Both entries of each log are there.
    const std::string errors = coretest::readBytes(drive.native("errors.xml"));
    EXPECT_NE(errors.find("The first failure."), errors.rfind("The first failure.")) << errors;
    const std::string debug = coretest::readBytes(drive.native("debug.xml"));
    EXPECT_NE(debug.find("a step"), debug.rfind("a step")) << debug;
}

} // namespace
