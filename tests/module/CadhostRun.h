#pragma once
// cadhost run by the tests as a user runs it: a shell command in the test's folder whose output and
// errors are kept in out.txt and err.txt there, files read back whole, and the handles that the plan
// generators list.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace cadhost_run {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline fs::path program() {
    return fs::path(KELMO_BINARY_DIR) / "host" / "cadhost";
}

inline fs::path module() {
    return fs::path(KELMO_BINARY_DIR) / "module" / "libkelmo.so";
}

inline std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the command prints.
inline std::string capture(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, read);
    ::pclose(pipe);
    return text;
}

// The handles a plan generator lists beside its drawings ("NAME=HANDLE" lines), by name.
inline std::map<std::string, std::string> handlesIn(const fs::path& list) {
    std::map<std::string, std::string> handles;
    std::ifstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) handles[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return handles;
}

// Runs the command line in the folder; its exit status (-1 when it did not exit), output and errors.
inline Outcome runIn(const fs::path& dir, const std::string& command) {
    const std::string cmd = "cd '" + dir.string() + "' && " + command + " >out.txt 2>err.txt";
    Outcome r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir / "out.txt");
    r.err = slurp(dir / "err.txt");
    return r;
}

// The plan with so many lines more that saving it takes a while.
inline void writeLargePlan(const fs::path& to, const std::string& plan) {
    const size_t end = plan.rfind("  0\n", plan.find("ENDSEC", plan.find("ENTITIES")));
    std::string lines;
    for (int i = 0; i < 300000; ++i)
        lines +=
            "  0\nLINE\n  8\n0\n 10\n" + std::to_string(i) + "\n 20\n0\n 11\n" + std::to_string(i) + "\n 21\n1000\n";
    std::ofstream(to, std::ios::binary) << plan.substr(0, end) << lines << plan.substr(end);
}

inline bool has(const Outcome& r, const std::string& text) {
    return r.out.find(text) != std::string::npos;
}

inline size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

} // namespace cadhost_run
