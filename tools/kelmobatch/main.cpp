// kelmobatch: registers the module with the server, loads every graphic report of one status from the
// register named by the server preferences, and prepares them: each is applied to its drawing, plotted,
// copied and written as XML, and its status recorded in the register.
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "HostOptions.h"
#include "HostSession.h"
#include "core/FileUtilities.h"
#include "core/Globals.h"
#include "core/HostCalls.h"
#include "core/KelmoExceptions.h"
#include "core/PreferencesOstrel.h"
#include "core/ServerPreferenceOstrel.h"
#include "database/ModuleDetails.h"
#include "database/StoredProcedure.h"
#include "reports/GraphicReports.h"
#include "win/Encoding.h"
#include "win/Module.h"
#include "win/Paths.h"
#include "win/TempNames.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;      // the batch could not run: the register or the registration failed
constexpr int kExitUsage = 2;       // wrong command line
constexpr int kExitNoPrefs = 3;     // the server preferences are missing, cannot be read or hold no server
constexpr int kExitUnrecorded = 4;  // a report's claim, final status or plotted layout could not be recorded
constexpr int kExitSignalled = 128; // plus the signal that stopped the batch, as a shell counts it

const char* kUsage =
    "usage: kelmobatch --server-prefs FILE [--status N] [--database NAME] [--c-drive DIR]\n"
    "       kelmobatch --help\n"
    "  --server-prefs FILE  the server preferences (\"ostrelPreferences\"); the first server is used\n"
    "  --status N           prepare the reports of this status, 0 to 255 (default 1)\n"
    "  --database NAME      the register database (default vxr)\n"
    "  --c-drive DIR        the folder that plays the C: drive (default ~/.cadhost/c)\n";

struct Options {
    std::string prefs;
    int status = 1;
    std::string database = "vxr";
    std::string cDrive;
    bool help = false;
};

bool parse(const std::vector<std::string>& args, Options& o, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            o.help = true;
            return true;
        }
        if (name != "--server-prefs" && name != "--database" && name != "--c-drive" && name != "--status") {
            error = name.rfind("--", 0) == 0 ? "unknown option " + name : "unexpected " + name;
            return false;
        }
        // A value never starts with "--": that is the next option, and this one has no value.
        if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
            error = "option " + name + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (name == "--server-prefs") {
            o.prefs = value;
        } else if (name == "--database") {
            o.database = value;
        } else if (name == "--c-drive") {
            o.cDrive = value;
        } else {
            size_t used = 0;
            try {
                o.status = std::stoi(value, &used);
            } catch (...) {
                used = 0;
            }
            if (used == 0 || used != value.size() || o.status < 0 || o.status > 255) {
                error = "the status must be a whole number from 0 to 255, not " + value;
                return false;
            }
        }
    }
    if (o.prefs.empty()) error = "--server-prefs is missing";
    return error.empty();
}

// This machine's name as it marks a run's temporary folder: runs on several machines may share the C:
// drive, and a process id says nothing about another machine's processes.
std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "unknown";
    std::string kept;
    for (const char* c = name; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' || *c == '.' || *c == '_') kept += *c;
    return kept.empty() ? "unknown" : kept;
}

// Removes the temporary folder ("batch", the process id, "@" and the machine) of each earlier run of
// this machine whose process is gone (killed before it could remove its own). A live run's folder is
// left alone, and so is every folder of another machine, or of no machine named.
void removeAbandonedFolders(const CString& temp, const std::string& host) {
    std::string native;
    DWORD error = 0;
    if (!win::mapToNative(temp, native, &error)) return;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(native, ec)) {
        const std::string name = entry.path().filename().string();
        const std::size_t at = name.find('@');
        if (at == std::string::npos || at <= 5 || at > 15 || name.compare(0, 5, "batch") != 0 ||
            name.find_first_not_of("0123456789", 5) != at || name.substr(at + 1) != host)
            continue;
        const long pid = std::stol(name.substr(5, at - 5));
        if (pid <= 0 || pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::error_code removing;
        std::filesystem::remove_all(entry.path(), removing);
    }
}

// The host's folder, below which the module keeps its own, as its load would set it.
void hostFolder() {
    wchar_t executable[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, executable, MAX_PATH);
    CString folder(executable, static_cast<int>(length));
    const int cut = folder.ReverseFind(L'\\');
    g_hostDirectory = cut >= 0 ? folder.Left(cut) : CString();
}

// Copies of drawings pass through a temporary folder under the drawing's name: the server's
// acadTempDirectory, else the module's own below the host's folder. Each run has a folder of its own
// there, so that two runs never copy each other's drawings, even where the batch machines share one
// temporary folder; the server's folder is the run's from then on.
void runFolder(CServerPreferenceOstrel* server) {
    CString temp = server->getAcadTempDirectory();
    temp.Trim();
    if (temp.IsEmpty()) temp = g_hostDirectory + L"\\kelmo\\temp\\";
    CFileUtilities::checkPathSyntax(temp);
    const std::string host = hostName();
    CString run;
    run.Format(L"batch%lu@%s\\", static_cast<unsigned long>(::getpid()), win::fromUtf8(host).c_str());
    removeAbandonedFolders(temp, host);
    g_tempDirectory = temp + run;
    CFileUtilities::ensureDirectoryExists(g_tempDirectory);
    server->setAcadTempDirectory(g_tempDirectory);
}

// The register once the batch turns to it, for the message that says it is gone.
std::string g_register;

// The signal that asked the batch to stop; 0 while none has.
volatile std::sig_atomic_t g_signal = 0;

void stopAfterReport(int signal) {
    g_signal = signal;
    kelmo_reports::requestStop();
}

// A reader that goes away (a pipe into head) is no failure of a report: writes to it just fail. SIGTERM
// and SIGINT let the report in progress finish, with its status recorded, before the batch stops.
void holdGround() {
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction stop {};
    stop.sa_handler = stopAfterReport;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
}

// Every register call of the batch may run twice: a claim, a status or a layout written again changes
// nothing more.
constexpr int kReconnectTries = 5;

int prepare(const Options& o) {
    // A named pipe would hold the run before its first report, waiting for a writer.
    int refused = 0;
    if (const std::string why = win::readRefusal(o.prefs, refused); !why.empty()) {
        std::cerr << "kelmobatch: the server preferences file " << o.prefs << " cannot be read: " << why << "\n";
        return kExitNoPrefs;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(o.prefs, ec)) {
        std::cerr << "kelmobatch: the server preferences file " << o.prefs << " is missing\n";
        return kExitNoPrefs;
    }
    g_serverPreferences.deSerialize(CString(win::nativeToWindows(o.prefs).c_str()));
    if (g_serverPreferences.getCount() == 0) {
        std::cerr << "kelmobatch: no server in the server preferences " << o.prefs << "\n";
        return kExitNoPrefs;
    }
    CServerPreferenceOstrel* server = g_serverPreferences.getAt(0);
    runFolder(server);
    // Blanks around the server's name are the file's layout, not the name.
    CString datasource = server->getDbDatasource();
    datasource.Trim();
    const CString user = server->getDbUserID();
    const CString password = server->getDbPassword();
    const int timeout = server->getDbTimeout();

    CModuleDetails details;
    details.setModDetails(datasource, user, password, timeout);
    details.setModuleRunning(datasource, user, password, timeout);

    g_register = o.database + " on " + datasource.ToUtf8();
    CStoredProcedure procedure(datasource, CString(win::fromUtf8(o.database).c_str()), user, password, timeout);
    procedure.setReconnectTries(kReconnectTries);
    // A claim lasts as long as the session that made it: the server must not end the session while
    // the run opens, applies and plots a drawing.
    procedure.keepSessionsOpen();
    CGraphicReports reports;
    reports.getGraphicReports(&procedure, server, o.status, timeout);
    acutPrintf(L"%i graphic report(s) of status %i to prepare\n", reports.getCount(), o.status);
    reports.prepareReports(&procedure, timeout);
    int status = kExitOk;
    const CString unclaimed = reports.unclaimedReports();
    if (!unclaimed.IsEmpty()) {
        std::cerr << "kelmobatch: graphic report(s) " << unclaimed.ToUtf8()
                  << " could not be claimed in the register and were not prepared (standard output gives the "
                     "reason)\n";
        status = kExitUnrecorded;
    }
    const CString layouts = reports.unrecordedLayouts();
    if (!layouts.IsEmpty()) {
        std::cerr << "kelmobatch: the plotted layout of graphic report(s) " << layouts.ToUtf8()
                  << " could not be recorded in the register (standard output gives the reason)\n";
        status = kExitUnrecorded;
    }
    const CString unrecorded = reports.unrecordedReports();
    if (!unrecorded.IsEmpty()) {
        std::cerr << "kelmobatch: the final status of graphic report(s) " << unrecorded.ToUtf8()
                  << " could not be recorded in the register (standard output gives the reason)\n";
        status = kExitUnrecorded;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    holdGround();
    Options o;
    std::string error;
    if (!parse(std::vector<std::string>(argv + 1, argv + argc), o, error)) {
        std::cerr << "kelmobatch: " << error << "\n\n" << kUsage;
        return kExitUsage;
    }
    if (o.help) {
        std::cout << kUsage;
        return kExitOk;
    }
    cadhost::Options host;
    host.cDrive = o.cDrive;
    host.moduleGiven = true; // the batch classes are linked in; no commands are loaded
    host.batch = true;
    cadhost::Session session(host, std::cout, std::cerr);
    session.start();
    hostFolder();

    int status = kExitOk;
    try {
        status = prepare(o);
    } catch (CEXKelmo* failure) {
        if (!g_register.empty() && kelmo_reports::registerLost(failure))
            std::cerr << "kelmobatch: the register " << g_register << " cannot be reached\n";
        std::cerr << "kelmobatch: the batch stopped:\n" << failure->getCommandLineText().ToUtf8() << "\n";
        kelmo_reports::reportToBatchLogs(failure);
        status = kExitFailed;
    }
    if (g_signal != 0) {
        std::cerr << "kelmobatch: stopped by " << (g_signal == SIGINT ? "SIGINT" : "SIGTERM")
                  << ": the report in progress was finished, the reports after it keep their status\n";
        if (status == kExitOk) status = kExitSignalled + g_signal;
    }
    if (!g_tempDirectory.IsEmpty()) RemoveDirectoryW(g_tempDirectory); // emptied as each drawing was closed
    session.finish();
    return status;
}
