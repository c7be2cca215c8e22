#include "cad/dxf/DxfTags.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ostream>

namespace dxf {

static_assert(sizeof(Tag) == 16, "a tag is a code and a value held in place");

namespace {

// The long values nearly every record of a drawing holds: a drawing of 10,000 rooms repeats them
// 170,000 times. Each is one block, laid out as a value's own (length, then text).
class SharedValues {
public:
    SharedValues() {
        static constexpr std::string_view values[] = {"AcDbBlockReference",
                                                      "AcDbAttribute",
                                                      "AcDbAttributeDefinition",
                                                      "AcDbPolyline",
                                                      "AcDbSymbolTable",
                                                      "AcDbSymbolTableRecord",
                                                      "AcDbBlockTableRecord",
                                                      "AcDbBlockBegin",
                                                      "AcDbBlockEnd",
                                                      "AcDbDictionary",
                                                      "AcDbLayerTableRecord",
                                                      "AcDbLinetypeTableRecord",
                                                      "AcDbRegAppTableRecord",
                                                      "AcDbTextStyleTableRecord",
                                                      "AcDbDimStyleTableRecord",
                                                      "AcDbViewportTableRecord",
                                                      "AcDbViewTableRecord",
                                                      "AcDbUCSTableRecord",
                                                      "AcDbDimStyleTable",
                                                      "AcDbMInsertBlock",
                                                      "AcDb2dPolyline",
                                                      "AcDb3dPolyline",
                                                      "AcDb3dPolylineVertex",
                                                      "AcDbDimension",
                                                      "AcDbAlignedDimension",
                                                      "AcDbRotatedDimension",
                                                      "AcDbSortentsTable",
                                                      "AcDbPlotSettings",
                                                      "AcDbPlaceHolder",
                                                      "AcDbDictionaryWithDefault",
                                                      "AcDbViewport",
                                                      "AcDbRasterImage",
                                                      "AcDbMaterial",
                                                      "AcDbVisualStyle",
                                                      "AcDbMlineStyle",
                                                      "AcDbTableStyle",
                                                      "AcDbMLeaderStyle",
                                                      "BLOCK_RECORD",
                                                      "ACDBPLACEHOLDER",
                                                      "ACDBDICTIONARYWDFLT",
                                                      "DICTIONARYVAR",
                                                      "SORTENTSTABLE",
                                                      "{ACAD_REACTORS",
                                                      "{ACAD_XDICTIONARY",
                                                      "*Model_Space",
                                                      "*Paper_Space",
                                                      "ObjectDBX Classes"};
        for (std::string_view v : values) {
            const std::size_t n = v.size();
            char* block = new char[sizeof n + n]; // held for the life of the process
            std::memcpy(block, &n, sizeof n);
            std::memcpy(block + sizeof n, v.data(), n);
            bySize_[n].push_back(block);
        }
    }
    const char* find(std::string_view s) const {
        if (s.size() >= bySize_.size()) return nullptr;
        for (const char* block : bySize_[s.size()])
            if (std::memcmp(block + sizeof(std::size_t), s.data(), s.size()) == 0) return block;
        return nullptr;
    }

private:
    std::array<std::vector<const char*>, 32> bySize_;
};

const char* sharedBlock(std::string_view s) {
    static const SharedValues* shared = new SharedValues; // never freed: values anywhere may point into it
    return shared->find(s);
}

} // namespace

void TagValue::assign(std::string_view s) {
    if (s.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("a DXF value longer than 4 GB");
    if (s.size() > kInline) {
        if (const char* block = sharedBlock(s)) {
            release();
            std::memcpy(buf_, &block, sizeof block);
            small_ = kShared;
            return;
        }
    }
    // s may be this value's own text: copy it before the old storage goes.
    if (s.size() > kInline) {
        const std::size_t n = s.size();
        char* p = new char[sizeof n + n];
        std::memcpy(p, &n, sizeof n);
        std::memcpy(p + sizeof n, s.data(), n);
        release();
        std::memcpy(buf_, &p, sizeof p);
        small_ = kOnHeap;
    } else {
        char tmp[kInline];
        if (!s.empty()) std::memcpy(tmp, s.data(), s.size());
        release();
        if (!s.empty()) std::memcpy(buf_, tmp, s.size());
        small_ = static_cast<unsigned char>(s.size());
    }
}

std::ostream& operator<<(std::ostream& out, const TagValue& v) {
    return out << v.view();
}

FileKind sniff(std::string_view bytes) {
    static constexpr std::string_view binarySentinel = "AutoCAD Binary DXF";
    if (bytes.substr(0, binarySentinel.size()) == binarySentinel) return FileKind::BinaryDxf;
    // A DWG file opens with its version ("AC1015" ...) followed by binary data.
    if (bytes.size() >= 6 && bytes.substr(0, 4) == "AC10") {
        bool digits = true;
        for (std::size_t i = 4; i < 6; ++i) digits = digits && bytes[i] >= '0' && bytes[i] <= '9';
        if (digits) return FileKind::Dwg;
    }
    std::string_view head = bytes.substr(0, 4096);
    if (head.find('\0') != std::string_view::npos) return FileKind::NotText;
    return FileKind::Ascii;
}

Tokenizer::Tokenizer(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    // Old Macintosh files end their lines with a lone CR and have no LF at all.
    crOnly_ = text_.find('\n') == std::string_view::npos && text_.find('\r') != std::string_view::npos;
}

bool Tokenizer::readLine(std::string_view& out) {
    if (pos_ >= text_.size()) return false;
    const char* base = text_.data();
    std::size_t n = text_.size();
    std::size_t start = pos_;
    if (crOnly_) {
        const void* cr = std::memchr(base + start, '\r', n - start);
        std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : n;
        out = std::string_view(base + start, end - start);
        pos_ = end < n ? end + 1 : n;
    } else {
        const void* nl = std::memchr(base + start, '\n', n - start);
        std::size_t end = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - base) : n;
        pos_ = end < n ? end + 1 : n;
        if (end > start && base[end - 1] == '\r') --end;
        out = std::string_view(base + start, end - start);
    }
    ++lineNo_;
    return true;
}

static std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

static bool isGroupCode(std::string_view s) {
    int code = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), code);
    return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

Tokenizer::Result Tokenizer::next(Tag& tag) {
    for (;;) {
        std::string_view codeLine;
        if (!readLine(codeLine)) return Result::End;
        line_ = lineNo_;
        std::string_view c = trim(codeLine);
        int code = 0;
        auto [p, ec] = std::from_chars(c.data(), c.data() + c.size(), code);
        // Files use group codes 0 to 1071 (and 999 comments); the negative ones mean things only in memory.
        if (c.empty() || ec != std::errc() || p != c.data() + c.size() || code < 0 || code > 1071) {
            if (c.empty() && atEnd()) return Result::End; // blank line at the very end
            error_ = "invalid group code \"" + std::string(c.substr(0, 40)) + "\" at line " + std::to_string(line_);
            // Resynchronise on the next 0 group code. A line holding "0" may be a value (a flag, layer
            // "0"); it is a group code when the line after it is no number, for after a value comes a
            // group code and after a 0 group code a record's name. This holds whether or not the bad
            // line was a group code, so a line lost or added before it does not matter.
            for (;;) {
                std::size_t save = pos_, saveNo = lineNo_;
                std::string_view l, after;
                if (!readLine(l)) break;
                if (trim(l) != "0") continue;
                std::size_t next = pos_, nextNo = lineNo_;
                if (!readLine(after)) break;
                pos_ = next;
                lineNo_ = nextNo;
                if (!isGroupCode(trim(after))) {
                    pos_ = save;
                    lineNo_ = saveNo;
                    break;
                }
            }
            return Result::Bad;
        }
        std::string_view value;
        if (!readLine(value)) {
            error_ = "group code " + std::to_string(code) + " without value at line " + std::to_string(line_);
            return Result::Bad;
        }
        if (code == 999) continue;
        tag.code = code;
        tag.value.assign(value.data(), value.size());
        return Result::Tag;
    }
}

bool isAscii(std::string_view text) {
    const char* p = text.data();
    std::size_t n = text.size(), i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ull) return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
    return true;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ((cp >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// 0x80..0x9F of Windows-1252; the rest of the upper half equals Latin-1.
static constexpr std::array<std::uint16_t, 32> cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t cp1252(unsigned char ch) {
    if (ch < 0x80) return ch;
    if (ch < 0xA0) return cp1252High[ch - 0x80];
    return ch;
}

std::string repairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0, n = text.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t len = (c >= 0xC2 && c <= 0xDF)   ? 2
                          : (c >= 0xE0 && c <= 0xEF) ? 3
                          : (c >= 0xF0 && c <= 0xF4) ? 4
                                                     : 0;
        bool ok = len != 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (ok) {
            out.append(text.substr(i, len));
            i += len;
        } else {
            appendUtf8(out, cp1252(c));
            ++i;
        }
    }
    return out;
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value of "\U+XXXX" at text[at] (four hexadecimal digits, either case); -1 when there is none.
static long escapeAt(std::string_view text, std::size_t at) {
    if (at + 7 > text.size() || text[at] != '\\' || (text[at + 1] != 'U' && text[at + 1] != 'u') || text[at + 2] != '+')
        return -1;
    long cp = 0;
    for (std::size_t k = 3; k < 7; ++k) {
        int h = hexValue(text[at + k]);
        if (h < 0) return -1;
        cp = cp * 16 + h;
    }
    return cp;
}

std::string decodeUnicodeEscapes(std::string_view text) {
    if (text.find("\\U+") == std::string_view::npos && text.find("\\u+") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const long cp = escapeAt(text, i);
        if (cp < 0 || cp == 0) {
            out += text[i++];
            continue;
        }
        // A character beyond the first plane comes as a surrogate pair of escapes (as older releases
        // write it from UTF-16) or as eight digits (as some writers do): one character either way.
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const long low = escapeAt(text, i + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((static_cast<std::uint32_t>(cp) - 0xD800) << 10) +
                                    (static_cast<std::uint32_t>(low) - 0xDC00));
                i += 14;
                continue;
            }
        }
        if (cp >= 0x0001 && cp <= 0x0010 && i + 11 <= text.size()) {
            std::uint32_t wide = static_cast<std::uint32_t>(cp);
            bool ok = true;
            for (std::size_t k = 7; ok && k < 11; ++k) {
                const int h = hexValue(text[i + k]);
                ok = h >= 0;
                wide = wide * 16 + static_cast<std::uint32_t>(h < 0 ? 0 : h);
            }
            if (ok) {
                appendUtf8(out, wide);
                i += 11;
                continue;
            }
        }
        // A lone surrogate is no character: it stays as written.
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            out += text[i++];
            continue;
        }
        appendUtf8(out, static_cast<std::uint32_t>(cp));
        i += 7;
    }
    return out;
}

std::uint64_t parseHandle(std::string_view text) {
    text = trim(text);
    std::uint64_t h = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), h, 16);
    if (ec != std::errc() || p != text.data() + text.size()) return 0;
    return h;
}

std::string handleText(std::uint64_t h) {
    char buf[24];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, h, 16);
    (void)ec;
    for (char* q = buf; q != p; ++q)
        if (*q >= 'a' && *q <= 'f') *q = static_cast<char>(*q - 'a' + 'A');
    return std::string(buf, p);
}

std::string formatDouble(double v) {
    if (v == 0.0) return "0.0";
    // Other readers take no "nan" or "inf": the nearest finite value stands in.
    if (std::isnan(v)) return "0.0";
    if (std::isinf(v)) v = v > 0 ? std::numeric_limits<double>::max() : std::numeric_limits<double>::lowest();
    char buf[40];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    if (ec != std::errc()) return "0.0";
    std::string s(buf, p);
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

double parseDouble(std::string_view text, double fallback) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p == text.data() || !std::isfinite(v)) return fallback;
    return v;
}

static bool wholeNumber(std::string_view text, bool integer) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    if (integer) {
        long long i = 0;
        auto [p, ec] = std::from_chars(text.data(), end, i);
        if (ec == std::errc() && p == end) return true;
    }
    double d = 0;
    auto [p, ec] = std::from_chars(text.data(), end, d);
    return ec == std::errc() && p == end && std::isfinite(d);
}

bool valueFits(int code, std::string_view value) {
    switch (valueKind(code)) {
        case ValueKind::Double:
            return wholeNumber(value, false);
        case ValueKind::Int:
            return wholeNumber(value, true);
        case ValueKind::Binary:
            if (value.size() % 2 != 0) return false;
            for (char c : value)
                if (hexValue(c) < 0) return false;
            return true;
        default:
            return true;
    }
}

bool isPointCode(int code) {
    return (code >= 10 && code <= 18) || (code >= 110 && code <= 112) || (code >= 210 && code <= 213) ||
           (code >= 1010 && code <= 1013);
}

bool tagsWellFormed(const Tags& tags, std::size_t from, std::size_t to) {
    to = std::min(to, tags.size());
    for (std::size_t i = from; i < to; ++i) {
        if (!valueFits(tags[i].code, tags[i].value)) return false;
        if (isPointCode(tags[i].code) && (i + 1 >= to || tags[i + 1].code != tags[i].code + 10)) return false;
    }
    return true;
}

long long parseInt(std::string_view text, long long fallback) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long long v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p == text.data()) {
        // Some writers put reals where integers belong ("1.0").
        double d = parseDouble(text, static_cast<double>(fallback));
        if (d > -9.2e18 && d < 9.2e18) return static_cast<long long>(d);
        return fallback;
    }
    return v;
}

bool isPointerCode(int code) {
    return (code >= 320 && code <= 369) || (code >= 390 && code <= 399) || code == 480 || code == 481 || code == 1005;
}

ValueKind valueKind(int code) {
    if (code == 5 || code == 105 || isPointerCode(code)) return ValueKind::Handle;
    if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
        (code >= 460 && code <= 469) || (code >= 1010 && code <= 1059))
        return ValueKind::Double;
    if ((code >= 60 && code <= 99) || (code >= 160 && code <= 179) || (code >= 270 && code <= 299) ||
        (code >= 370 && code <= 389) || (code >= 400 && code <= 409) || (code >= 420 && code <= 429) ||
        (code >= 440 && code <= 459) || (code >= 1060 && code <= 1071))
        return ValueKind::Int;
    if ((code >= 310 && code <= 319) || code == 1004) return ValueKind::Binary;
    return ValueKind::String;
}

} // namespace dxf
