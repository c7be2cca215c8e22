// kelmobatch: registers the module with the server, loads every graphic report of one status from the
// register named by the server preferences, and prepares them: each is applied to its drawing, plotted,
// copied and written as XML, and its status recorded in the register.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "HostOptions.h"
#include "HostSession.h"
#include "InterruptibleInput.h"
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
constexpr int kExitNoPrefs = 3;     // the server preferences are missing, cannot be read, hold no server or
                                    // a time-out the register cannot take
constexpr int kExitUnrecorded = 4;  // a report's claim, final status or plotted layout could not be recorded
constexpr int kExitSignalled = 128; // plus the signal that stopped the batch, as a shell counts it

const char* kUsage =
    "usage: kelmobatch --server-prefs FILE [--status N] [--database NAME] [--c-drive DIR]\n"
    "       kelmobatch --help | -h\n"
    "  --server-prefs FILE  the server preferences (\"ostrelPreferences\"); the first server is used\n"
    "  --status N           prepare the reports of this status, 0 to 255 (default 1)\n"
    "  --database NAME      the register database (default vxr)\n"
    "  --c-drive DIR        the folder that plays the C: drive (default ~/.cadhost/c)\n"
    "  --help, -h           this text\n";

// What --help adds to the usage: what the run records and how it ends.
const char* kStatuses =
    "\nStatuses recorded for a report in the register:\n"
    "  2   preparation started (the report is claimed by a run)\n"
    "  3   plotted; the copy and the XML it asks for were written\n"
    "  4   its drawing file does not exist\n"
    "  8   the output folder was removed between its check and the plot\n"
    "  9   the plot failed (the error log says why)\n"
    "  10  its output folder does not exist\n"
    "  11  its plot file is not a valid file name, or is not this report's to write\n"
    "  12  the copy of the drawing was refused or failed\n"
    "  13  writing the XML was refused or failed\n"
    "  14  the preparation failed (the error log says why)\n"
    "\nExit statuses:\n"
    "  0    every report of the status was prepared and its status recorded\n"
    "  1    the batch could not run: the register or the module registration failed\n"
    "  2    wrong command line\n"
    "  3    the server preferences are missing, cannot be read, name no server or a time-out (dbTimeout)\n"
    "       the register cannot take\n"
    "  4    a claim, final status or plotted layout could not be recorded; a refusal that trying again\n"
    "       does not cure stops the run, and the reports not yet claimed keep their status\n"
    "  128 plus the signal  stopped by a signal that ends a process (130 SIGINT, 143 SIGTERM, 129 SIGHUP,\n"
    "       131 SIGQUIT...), after the report in progress; a closed output (SIGPIPE) and a file size\n"
    "       limit (SIGXFSZ) stop nothing: the write fails and the report says so\n";

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
            // Blanks around the number are the shell's quoting, on either side alike.
            const size_t first = value.find_first_not_of(" \t");
            const std::string number = first == std::string::npos
                                           ? std::string()
                                           : value.substr(first, value.find_last_not_of(" \t") + 1 - first);
            size_t used = 0;
            try {
                if (!number.empty()) o.status = std::stoi(number, &used);
            } catch (...) {
                used = 0;
            }
            if (used == 0 || used != number.size() || o.status < 0 || o.status > 255) {
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

// The characters a run's folder name takes after its process id when that name was taken already.
constexpr std::size_t kNameTail = 6;

// The process id in the name of a run's temporary folder of this machine ("batch", the process id, "@"
// and the machine; ".", six letters or digits before the "@" when that name was taken); 0 for any other
// name.
long runFolderProcess(const std::string& name, const std::string& host) {
    const std::size_t at = name.find('@');
    if (at == std::string::npos || name.compare(0, 5, "batch") != 0 || name.substr(at + 1) != host) return 0;
    const std::size_t digits = name.find_first_not_of("0123456789", 5);
    if (digits <= 5 || digits > 15) return 0;
    if (digits != at && (name[digits] != '.' || digits + 1 + kNameTail != at)) return 0;
    for (std::size_t c = digits + 1; c < at; ++c)
        if (!std::isalnum(static_cast<unsigned char>(name[c]))) return 0;
    return std::stol(name.substr(5, digits - 5));
}

// Removes the temporary folder of each earlier run of this machine whose process is gone (killed before
// it could remove its own). A live run's folder is left alone, and so is every folder of another
// machine, or of no machine named.
void removeAbandonedFolders(const CString& temp, const std::string& host) {
    std::string native;
    DWORD error = 0;
    if (!win::mapToNative(temp, native, &error)) return;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(native, ec)) {
        const long pid = runFolderProcess(entry.path().filename().string(), host);
        if (pid <= 0 || pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::error_code removing;
        std::filesystem::remove_all(entry.path(), removing);
    }
}

// Makes the run's own folder in the temporary folder, for its user alone (0700), and its name ("batch",
// the process id, "@" and the machine). The name is known before the run starts: a folder or a link
// found there was not made by this run and is never taken for its own; the run makes a folder under a
// name of its own beside it instead. Empty when none can be made.
std::string makeRunFolder(const std::string& temp, const std::string& host) {
    const std::string pid = "batch" + std::to_string(::getpid());
    std::random_device seed;
    std::mt19937 pick(seed());
    const char* letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> letter(0, 35);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = pid;
        if (attempt > 0) {
            name += '.';
            for (std::size_t i = 0; i < kNameTail; ++i) name += letters[letter(pick)];
        }
        name += "@" + host;
        const std::string folder = temp + "/" + name;
        if (::mkdir(folder.c_str(), 0700) == 0) {
            // Exactly 0700, whatever the umask took away.
            const int made = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (made >= 0) {
                ::fchmod(made, 0700);
                ::close(made);
            }
            return name;
        }
        if (errno != EEXIST) return std::string();
    }
    return std::string();
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
// temporary folder; the server's folder is the run's from then on. False, said on standard error, when
// the run's folder cannot be made.
bool runFolder(CServerPreferenceOstrel* server) {
    CString temp = server->getAcadTempDirectory();
    temp.Trim();
    if (temp.IsEmpty()) temp = g_hostDirectory + L"\\kelmo\\temp\\";
    CFileUtilities::checkPathSyntax(temp);
    const std::string host = hostName();
    removeAbandonedFolders(temp, host);
    CFileUtilities::ensureDirectoryExists(temp);
    std::string native;
    DWORD error = 0;
    const std::string run = win::mapToNative(temp, native, &error) ? makeRunFolder(native, host) : std::string();
    if (run.empty()) {
        std::cerr << "kelmobatch: the run's temporary folder cannot be made in " << temp.ToUtf8() << ": "
                  << std::strerror(errno) << "\n";
        return false;
    }
    g_tempDirectory = temp + win::fromUtf8(run).c_str() + L"\\";
    server->setAcadTempDirectory(g_tempDirectory);
    return true;
}

// The files a run holds open at once at the most: two register sessions, the drawing, the plot and its
// fonts, a copy, the XML and the error log, with room to spare.
constexpr int kFilesNeeded = 16;

// How many more files the process may open, up to `needed`: each is opened and closed again.
int filesAvailable(int needed) {
    std::vector<int> opened;
    for (int i = 0; i < needed; ++i) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) break;
        opened.push_back(fd);
    }
    for (const int fd : opened) ::close(fd);
    return static_cast<int>(opened.size());
}

// The register once the batch turns to it, for the message that says it is gone.
std::string g_register;

// The signal that asked the batch to stop; 0 while none has.
volatile std::sig_atomic_t g_signal = 0;

void stopAfterReport(int signal) {
    g_signal = signal;
    kelmo_reports::requestStop();
}

// A reader that goes away (a pipe into head) is no failure of a report: writes to it just fail; so do
// writes past a file size limit (ulimit -f), and the report ends with its reason. Every other signal that
// would end the process (SIGTERM, SIGINT, SIGHUP as a terminal closes, SIGQUIT...) lets the report in
// progress finish, its temporaries removed and its status recorded, before the batch stops. A signal
// ignored when the batch started (nohup) stays ignored.
void holdGround() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction stop {};
    stop.sa_handler = stopAfterReport;
    sigemptyset(&stop.sa_mask);
    stop.sa_flags = SA_RESTART;
    for (int s : win::endingSignals()) {
        struct sigaction before {};
        if (s == SIGPIPE || s == SIGXFSZ || (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN))
            continue;
        sigaction(s, &stop, nullptr);
    }
}

// "SIGTERM", or the signal's number where it has no short name.
std::string signalName(int signal) {
    if (const char* name = ::sigabbrev_np(signal)) return std::string("SIG") + name;
    return "signal " + std::to_string(signal);
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
    if (const CString unusable = server->getUnusableSetting(); !unusable.IsEmpty()) {
        std::cerr << "kelmobatch: the server preferences file " << o.prefs << ": " << unusable.ToUtf8()
                  << " - the batch does not start\n";
        return kExitNoPrefs;
    }
    if (!runFolder(server)) return kExitFailed;
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
    const CString refusal = reports.lastingRefusal();
    if (!refusal.IsEmpty()) {
        std::cerr << "kelmobatch: the register refused this batch's call of " << refusal.ToUtf8()
                  << " - the batch stopped";
        const CString left = reports.reportsNotClaimed();
        if (!left.IsEmpty())
            std::cerr << "; graphic report(s) " << left.ToUtf8() << " were not claimed and keep their status";
        std::cerr << "\n";
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
    // A closed standard stream would be taken by the first file opened, and the run's lines written into it.
    cadhost::occupyStandardDescriptors();
    holdGround();
    Options o;
    std::string error;
    if (!parse(std::vector<std::string>(argv + 1, argv + argc), o, error)) {
        std::cerr << "kelmobatch: " << error << "\n\n" << kUsage;
        return kExitUsage;
    }
    if (o.help) {
        std::cout << kUsage << kStatuses;
        return kExitOk;
    }
    // Short of file descriptors (a low ulimit -n), a run would fail report after report where the
    // reports themselves are sound: it stops before it claims any, and each keeps its status.
    if (const int available = filesAvailable(kFilesNeeded); available < kFilesNeeded) {
        std::cerr << "kelmobatch: too many open files: only " << available
                  << " more may be open at once (ulimit -n), the batch needs " << kFilesNeeded
                  << " - no report was prepared\n";
        return kExitFailed;
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
        std::cerr << "kelmobatch: stopped by " << signalName(g_signal)
                  << ": the report in progress was finished, the reports after it keep their status\n";
        if (status == kExitOk) status = kExitSignalled + g_signal;
    }
    if (!g_tempDirectory.IsEmpty()) RemoveDirectoryW(g_tempDirectory); // emptied as each drawing was closed
    session.finish();
    return status;
}
