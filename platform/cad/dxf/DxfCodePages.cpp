// The code pages a drawing before R2007 may name in $DWGCODEPAGE, and its text read through them.
#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <utility>

#include "cad/dxf/DxfTags.h"

namespace dxf {

namespace {

constexpr const char* kUtf8 = "UTF-8";

// The number after a known prefix ("ANSI_1251", "dos866", "CP932"), or 0.
unsigned numberAfter(std::string_view key, std::string_view prefix) {
    if (key.size() <= prefix.size() || key.substr(0, prefix.size()) != prefix) return 0;
    unsigned n = 0;
    for (char c : key.substr(prefix.size())) {
        if (c < '0' || c > '9' || n > 100000) return 0;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n;
}

// The C library's name for what the code page names: empty for Windows-1252 (read here), kUtf8, or
// nullptr when the name is not one a drawing carries. Spellings differ in case, '-', '_' and blanks.
std::string converterFor(std::string_view name, bool& known) {
    std::string key;
    for (char c : name) {
        if (c == '-' || c == '_' || c == ' ' || c == '\t') continue;
        key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    known = true;
    static constexpr std::pair<std::string_view, const char*> named[] = {{"ASCII", ""},
                                                                         {"USASCII", ""},
                                                                         {"UTF8", kUtf8},
                                                                         {"GB2312", "CP936"},
                                                                         {"GBK", "CP936"},
                                                                         {"GB18030", "GB18030"},
                                                                         {"BIG5", "CP950"},
                                                                         {"KSC5601", "CP949"},
                                                                         {"EUCKR", "CP949"},
                                                                         {"JOHAB", "JOHAB"},
                                                                         {"SHIFTJIS", "CP932"},
                                                                         {"SJIS", "CP932"},
                                                                         {"MACINTOSH", "MACINTOSH"},
                                                                         {"MACROMAN", "MACINTOSH"}};
    for (const auto& [spelling, converter] : named)
        if (key == spelling) return converter;
    if (unsigned n = numberAfter(key, "ISO8859"); n >= 1 && n <= 16 && n != 12) return "ISO-8859-" + std::to_string(n);
    // Windows pages (ANSI_), DOS pages (dos437 ...) and the same numbers as other programs write them.
    static constexpr unsigned pages[] = {437,  737,  775,  850,  852,  855,  857,  860,  861,  862,  863,
                                         864,  865,  866,  869,  874,  932,  936,  949,  950,  1250, 1251,
                                         1252, 1253, 1254, 1255, 1256, 1257, 1258, 1361, 65001};
    for (std::string_view prefix : {"ANSI", "DOS", "CP", "WINDOWS", "IBM"}) {
        const unsigned n = numberAfter(key, prefix);
        for (unsigned page : pages) {
            if (n != page) continue;
            if (n == 1252) return "";
            if (n == 65001) return kUtf8;
            if (n == 1361) return "JOHAB";
            return "CP" + std::to_string(n);
        }
    }
    known = false;
    return "";
}

} // namespace

CodePage::CodePage(std::string_view name) {
    const std::string converter = converterFor(name, known_);
    if (converter == kUtf8) {
        utf8_ = true;
    } else if (!converter.empty()) {
        iconv_t cd = ::iconv_open("UTF-8", converter.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1))
            known_ = false; // a C library without the page: read as Windows-1252, and said so
        else
            converter_ = cd;
    }
}

CodePage::CodePage(CodePage&& other) noexcept
    : known_(other.known_), utf8_(other.utf8_), converter_(std::exchange(other.converter_, nullptr)) {}

CodePage& CodePage::operator=(CodePage&& other) noexcept {
    if (this != &other) {
        if (converter_) ::iconv_close(static_cast<iconv_t>(converter_));
        known_ = other.known_;
        utf8_ = other.utf8_;
        converter_ = std::exchange(other.converter_, nullptr);
    }
    return *this;
}

CodePage::~CodePage() {
    if (converter_) ::iconv_close(static_cast<iconv_t>(converter_));
}

std::string CodePage::toUtf8(std::string_view text) const {
    if (utf8_) return repairUtf8(text);
    std::string out;
    out.reserve(text.size() * 2 + 8);
    if (!converter_) {
        for (unsigned char ch : text) appendUtf8(out, cp1252(ch));
        return out;
    }
    iconv_t cd = static_cast<iconv_t>(converter_);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
        out.append(buffer, dst);
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // A byte the page does not define, or a character cut off by the end of the value.
        appendUtf8(out, cp1252(static_cast<unsigned char>(*in)));
        ++in;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    std::size_t outLeft = sizeof buffer;
    ::iconv(cd, nullptr, nullptr, &dst, &outLeft);
    out.append(buffer, dst);
    return out;
}

std::string ansiToUtf8(std::string_view text, std::string_view codePage) {
    return CodePage(codePage).toUtf8(text);
}

} // namespace dxf
