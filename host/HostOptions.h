#pragma once
// cadhost's command line.
#include <optional>
#include <string>
#include <vector>

namespace cadhost {

struct Options {
    std::string product = "AutoCAD 2015";
    std::string cDrive;       // empty: ~/.cadhost/c
    std::string module;       // the module to load
    bool moduleGiven = false; // without --module: the module built beside cadhost; --module "": none
    std::string script;       // empty: none
    bool batch = false;
    bool help = false;
    std::vector<std::string> drawings;
};

struct ParseResult {
    std::optional<Options> options; // nothing when the command line is wrong
    std::string error;              // why, for standard error
};

ParseResult parseOptions(const std::vector<std::string>& args);
std::string usageText();

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitLineFailed = 1;  // a line could not be applied
constexpr int kExitUsage = 2;       // wrong command line
constexpr int kExitStartFailed = 3; // a drawing, the script or the module could not be opened

} // namespace cadhost
