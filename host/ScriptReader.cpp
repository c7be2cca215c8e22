#include "ScriptReader.h"

namespace cadhost {

std::string stripLine(const std::string& raw, bool* wasComment) {
    std::string s = raw;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    bool comment = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ';' && (i == 0 || s[i - 1] == ' ' || s[i - 1] == '\t')) {
            s.resize(i);
            comment = true;
            break;
        }
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    if (wasComment) {
        bool blank = s.find_first_not_of(" \t") == std::string::npos;
        *wasComment = comment && blank;
    }
    return s;
}

std::optional<std::string> LineReader::next() {
    std::string raw;
    while (std::getline(in_, raw)) {
        ++line_;
        bool onlyComment = false;
        std::string s = stripLine(raw, &onlyComment);
        if (onlyComment) continue;
        return s;
    }
    return std::nullopt;
}

} // namespace cadhost
