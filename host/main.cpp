// cadhost: a command-line CAD host that opens DXF drawings, loads the module and runs its
// commands from a script or the terminal.
#include "HostOptions.h"
#include "HostSession.h"
#include "InterruptibleInput.h"
#include "win/Paths.h"
#include "win/TempNames.h"

#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

int main(int argc, char** argv) {
    // A closed standard input (<&-) ends as /dev/null does; a closed output discards what is said.
    cadhost::occupyStandardDescriptors();
    // The allocator's own thresholds, held fixed: by default they rise to the largest block freed (a
    // drawing's text), and then the heap keeps what loading frees and grows past it.
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    std::vector<std::string> args(argv + 1, argv + argc);
    cadhost::ParseResult parsed = cadhost::parseOptions(args);
    if (!parsed.options) {
        std::cerr << "cadhost: " << win::shown(win::fromNative(parsed.error)) << "\n\n" << cadhost::usageText();
        return cadhost::kExitUsage;
    }
    const cadhost::Options& o = *parsed.options;
    if (o.help) {
        std::cout << cadhost::usageText();
        return cadhost::kExitOk;
    }
    std::ifstream script;
    if (!o.script.empty()) {
        // A folder opens as a stream but reads nothing, and a named pipe waits for a writer.
        int error = 0;
        if (const std::string why = win::readRefusal(o.script, error); !why.empty()) {
            std::cerr << "cadhost: cannot read the script " << win::shown(win::fromNative(o.script)) << ": " << why
                      << "\n";
            return cadhost::kExitStartFailed;
        }
        script.open(o.script);
        if (!script) {
            std::cerr << "cadhost: cannot read the script " << win::shown(win::fromNative(o.script)) << "\n";
            return cadhost::kExitStartFailed;
        }
    }
    // Ended from outside (a terminal closed, a kill, Ctrl-C in batch mode), cadhost names the drawings
    // whose changes go with it and leaves no half-written file. A file size limit or a reader that went
    // away (| head -1) ends nothing: the write fails instead, and the work goes on.
    cadhost::endAtSignals(o.batch);
    cadhost::InterruptibleInput standardInput(STDIN_FILENO);
    std::istream typed(&standardInput);
    cadhost::Session session(o, std::cout, std::cerr);
    if (script.is_open()) session.addInput(script, o.script, true);
    if (!o.batch) {
        // Ctrl-C cancels what is being asked, as *Cancel* does, and the session goes on.
        cadhost::catchInterrupts();
        std::function<bool()> terminalGone;
        if (::isatty(STDIN_FILENO)) terminalGone = [&standardInput] { return standardInput.gone(); };
        session.addInput(typed, "<terminal>", !terminalGone, terminalGone);
    }
    return session.run();
}
