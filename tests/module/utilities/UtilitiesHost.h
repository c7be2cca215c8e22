#pragma once
// cadhost run on the drawings of make_utility_plans.py, with the space commands' preferences file
// and script runner, and the saved drawings read back by ezdxf as rows of fields.
#include <algorithm>
#include <string>
#include <vector>

#include "module/spacecommands/SpaceCommandsHost.h"

namespace utilities {

namespace fs = std::filesystem;
using spacecommands::Outcome;

inline fs::path generator() {
    return fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "utilities" / "make_utility_plans.py";
}

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// In order in the output, each after the one before.
inline void expectInOrder(const std::string& out, const std::vector<std::string>& texts) {
    size_t at = 0;
    for (const std::string& text : texts) {
        const size_t found = out.find(text, at);
        ASSERT_NE(found, std::string::npos) << "missing after " << at << ": " << text << "\n" << out;
        at = found + text.size();
    }
}

// A saved drawing as the dump prints it: LAYER, POLYLINE, HATCH, INSERT, BLOCK, ATTDEF and OUTLINE
// rows, each split at "|".
struct Drawing {
    std::vector<std::vector<std::string>> rows;

    // The first row of the kind whose second field is the key; empty when there is none.
    std::vector<std::string> find(const std::string& kind, const std::string& key) const {
        for (const auto& row : rows)
            if (row.size() > 1 && row[0] == kind && row[1] == key) return row;
        return {};
    }
    std::vector<std::vector<std::string>> all(const std::string& kind) const {
        std::vector<std::vector<std::string>> found;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(found),
                     [&](const auto& row) { return row[0] == kind; });
        return found;
    }
    // "on|thawed|unlocked"
    std::string layer(const std::string& name) const {
        const auto row = find("LAYER", name);
        return row.size() < 5 ? std::string() : row[2] + "|" + row[3] + "|" + row[4];
    }
    // The labels of the first insert of the block, "TAG=text@x,y hH wW rR layer" each, in order.
    std::vector<std::string> labels(const std::string& block) const {
        const auto row = find("INSERT", block);
        return row.size() < 6 || row[5].empty() ? std::vector<std::string>() : split(row[5], ';');
    }
    // The first label of the tag without its "TAG=", or "(none)".
    std::string label(const std::string& block, const std::string& tag) const {
        for (const std::string& text : labels(block))
            if (text.rfind(tag + "=", 0) == 0) return text.substr(tag.size() + 1);
        return "(none)";
    }
    // The insert's "ADE" strings joined by ";".
    std::string data(const std::string& block) const {
        const auto row = find("INSERT", block);
        return row.size() < 7 ? std::string() : row[6];
    }
    // "@x,y hH rR" of the first attribute definition of the tag in the block, with its prompt,
    // default and layer in front.
    std::string definition(const std::string& block, const std::string& tag) const {
        for (const auto& row : all("ATTDEF"))
            if (row[1] == block && row[2] == tag) return row[3] + "|" + row[4] + "|" + row[5] + "|" + row[6];
        return "(none)";
    }
};

class Utilities : public spacecommands::SpaceCommands {
protected:
    static void SetUpTestSuite() {
        plans = fs::temp_directory_path() / ("kelmo-utility-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        ezdxf = std::system(("/usr/bin/python3 '" + generator().string() + "' '" + plans.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(plans); }

    // The text of a dump, for drawings that must not differ.
    std::string dumpText(const std::string& drawing) const {
        return spacecommands::capture("/usr/bin/python3 '" + generator().string() + "' dump '" +
                                      (dir / drawing).string() + "'");
    }

    Drawing dump(const std::string& drawing) const {
        Drawing read;
        for (const std::string& line : split(dumpText(drawing), '\n'))
            if (!line.empty()) read.rows.push_back(split(line, '|'));
        return read;
    }
};

} // namespace utilities
