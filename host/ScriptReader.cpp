#include "ScriptReader.h"

#include "InterruptibleInput.h"

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
        if (c < 0x20 && c != '\t')
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

std::string invalidUtf8In(const std::string& line) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(line[i]); };
    for (size_t i = 0; i < line.size();) {
        unsigned char b = byte(i);
        size_t extra = 9; // not a lead byte
        if (b < 0x80)
            extra = 0;
        else if (b >= 0xC2 && b <= 0xDF)
            extra = 1;
        else if (b >= 0xE0 && b <= 0xEF)
            extra = 2;
        else if (b >= 0xF0 && b <= 0xF4)
            extra = 3;
        bool ok = extra != 9 && i + extra < line.size();
        for (size_t k = 1; ok && k <= extra; ++k) ok = (byte(i + k) & 0xC0) == 0x80;
        // No overlong forms, surrogates or code points past U+10FFFF.
        if (ok && extra == 2) ok = !(b == 0xE0 && byte(i + 1) < 0xA0) && !(b == 0xED && byte(i + 1) >= 0xA0);
        if (ok && extra == 3) ok = !(b == 0xF0 && byte(i + 1) < 0x90) && !(b == 0xF4 && byte(i + 1) >= 0x90);
        if (!ok) {
            static const char hex[] = "0123456789ABCDEF";
            return std::string("byte 0x") + hex[b >> 4] + hex[b & 0xF] + " at column " + std::to_string(i + 1);
        }
        i += extra + 1;
    }
    return {};
}

namespace {

// Reads up to the line's end, keeping at most limit bytes; false at the end of the stream, when
// Ctrl-C cut the wait short (interrupted) or when the line is longer (then the stream is left
// where the reading stopped). The line goes on from what it holds.
bool readLine(std::istream& in, std::string& line, std::size_t limit, bool& tooLong, bool& interrupted) {
    tooLong = false;
    interrupted = false;
    std::streambuf* buffer = in.rdbuf();
    for (;;) {
        int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            interrupted = interruptPending();
            if (interrupted) return false;
            in.setstate(std::ios::eofbit);
            return !line.empty();
        }
        if (c == '\n') return true;
        if (line.size() == limit) {
            tooLong = true;
            return false;
        }
        line.push_back(static_cast<char>(c));
    }
}

} // namespace

std::optional<std::string> LineReader::next() {
    std::string raw;
    refusal_.clear();
    bool tooLong = false, interrupted = false;
    for (;;) {
        raw = std::move(partial_);
        partial_.clear();
        if (ended_ || !readLine(in_, raw, kMaxLine, tooLong, interrupted)) break;
        ++line_;
        if (line_ == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
        bool onlyComment = false;
        std::string s = stripLine(raw, &onlyComment);
        if (onlyComment) continue;
        // A file name, a room name or a command mangled on the way would be worse than none.
        if (std::string bad = invalidUtf8In(s); !bad.empty())
            refusal_ = "the line is not UTF-8 text (" + bad + ") and is refused";
        else if (std::string control = controlCharacterIn(s); !control.empty())
            refusal_ = "the line holds a control character (" + control + ") and is refused" +
                       (control.rfind("ESC", 0) == 0 ? "; *Cancel* cancels" : "");
        return s;
    }
    if (interrupted) {
        partial_ = std::move(raw);
        return std::nullopt;
    }
    if (tooLong && !ended_) {
        // No script has such lines: this is some other file (a device that never ends, perhaps).
        ++line_;
        refusal_ =
            "the line is longer than " + std::to_string(kMaxLine) + " bytes; the rest of " + name_ + " is not read";
        ended_ = true;
        return std::string();
    }
    ended_ = true;
    return std::nullopt;
}

void LineReader::resume() {
    ended_ = false;
    in_.clear();
}

} // namespace cadhost
