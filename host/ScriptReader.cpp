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

std::string controlCharacterIn(const std::string& line) {
    static const char* const c0[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
                                     "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                     "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    for (size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        std::string name;
        if (c < 0x20 && c != '\t' && c != 0x1B)
            name = c0[c];
        else if (c == 0x7F)
            name = "DEL";
        else if (c == 0xC2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) >= 0x80 &&
                 static_cast<unsigned char>(line[i + 1]) <= 0x9F) {
            static const char hex[] = "0123456789ABCDEF";
            auto d = static_cast<unsigned char>(line[i + 1]);
            name = std::string("U+00") + hex[d >> 4] + hex[d & 0xF];
        }
        if (!name.empty()) return name + " at column " + std::to_string(i + 1);
    }
    return {};
}

std::optional<std::string> LineReader::next() {
    std::string raw;
    while (std::getline(in_, raw)) {
        ++line_;
        if (line_ == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
        bool onlyComment = false;
        std::string s = stripLine(raw, &onlyComment);
        if (onlyComment) continue;
        return s;
    }
    return std::nullopt;
}

} // namespace cadhost
