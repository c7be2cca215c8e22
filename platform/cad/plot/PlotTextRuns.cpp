// What a text's codes say: the characters %% codes stand for, and paragraph text's formatting (heights,
// colours, underlines, stacked fractions) as runs of text set alike.
#include "cad/plot/PlotRenderer.h"

#include <cmath>
#include <cwctype>

namespace plot::drawing {

namespace {

// A colour by index as paper shows it: white prints black, 0 (by block) and 256 (by layer) keep the text's.
bool indexColour(long index, Rgb& rgb) {
    if (index < 1 || index > 255) return false;
    Adesk::UInt32 v = AcCmEntityColor::lookUpRGB(Adesk::UInt8(index));
    if ((v & 0xFFFFFF) == 0xFFFFFF) v = 0;
    rgb = {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
    return true;
}

// Paragraph text's true colour holds red in its low byte.
Rgb trueColour(unsigned long v) {
    if ((v & 0xFFFFFF) == 0xFFFFFF) v = 0;
    return {(v & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, ((v >> 16) & 0xFF) / 255.0};
}

// Appends a character to the line's last run when it is set alike, else opens a run for it.
void put(TextLine& line, const TextRun& style, wchar_t ch) {
    if (line.empty() || line.back().stack || line.back().scale != style.scale ||
        line.back().underline != style.underline || line.back().overline != style.overline ||
        line.back().strike != style.strike || line.back().coloured != style.coloured ||
        (style.coloured && (line.back().colour.r != style.colour.r || line.back().colour.g != style.colour.g ||
                            line.back().colour.b != style.colour.b))) {
        TextRun run = style;
        run.text.clear();
        run.under.clear();
        run.stack = 0;
        line.push_back(run);
    }
    line.back().text += ch;
}

// A %% code at i (past the two percent signs): what it stands for, or false when it is none; i moves past it.
bool percentCode(const std::wstring& s, size_t& i, TextRun& style, TextLine& line) {
    if (i >= s.size()) return false;
    switch (std::towlower(static_cast<wint_t>(s[i]))) {
        case L'c':
            put(line, style, L'\u00D8');
            break;
        case L'd':
            put(line, style, L'\u00B0');
            break;
        case L'p':
            put(line, style, L'\u00B1');
            break;
        case L'%':
            put(line, style, L'%');
            break;
        case L'u':
            style.underline = !style.underline;
            break;
        case L'o':
            style.overline = !style.overline;
            break;
        case L'k':
            style.strike = !style.strike;
            break;
        default:
            // %%nnn: the character of that number.
            if (i + 3 <= s.size() && std::iswdigit(static_cast<wint_t>(s[i])) &&
                std::iswdigit(static_cast<wint_t>(s[i + 1])) && std::iswdigit(static_cast<wint_t>(s[i + 2]))) {
                const int code = (s[i] - L'0') * 100 + (s[i + 1] - L'0') * 10 + (s[i + 2] - L'0');
                if (code > 0) put(line, style, static_cast<wchar_t>(code));
                i += 3;
                return true;
            }
            return false;
    }
    ++i;
    return true;
}

// The argument of a code that ends at ';' (or the text's end); i moves past the ';'.
std::wstring argument(const std::wstring& s, size_t& i) {
    std::wstring arg;
    while (i < s.size() && s[i] != L';') {
        if (s[i] == L'\\' && i + 1 < s.size() && s[i + 1] == L';') ++i; // an escaped ';' inside a fraction
        arg += s[i++];
    }
    if (i < s.size()) ++i;
    return arg;
}

} // namespace

TextLine singleLineRuns(const std::wstring& text) {
    TextLine line;
    TextRun style;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, L"^I") == 0) { // a tab as the file stores it
            put(line, style, L'\t');
            i += 2;
            continue;
        }
        if (text[i] == L'%' && i + 2 < text.size() && text[i + 1] == L'%') {
            size_t at = i + 2;
            if (percentCode(text, at, style, line)) {
                i = at;
                continue;
            }
        }
        put(line, style, text[i++]);
    }
    return line;
}

std::vector<TextLine> paragraphRuns(const std::wstring& s, double height, std::vector<std::size_t>* columnBreaks) {
    std::vector<TextLine> lines(1);
    std::vector<TextRun> saved;
    TextRun style;
    for (size_t i = 0; i < s.size();) {
        const wchar_t ch = s[i];
        if (ch == L'{') {
            saved.push_back(style);
            ++i;
            continue;
        }
        if (ch == L'}') {
            if (!saved.empty()) {
                style = saved.back();
                saved.pop_back();
            }
            ++i;
            continue;
        }
        if (ch == L'%' && i + 2 < s.size() && s[i + 1] == L'%') {
            size_t at = i + 2;
            if (percentCode(s, at, style, lines.back())) {
                i = at;
                continue;
            }
        }
        if (ch == L'\n' || s.compare(i, 2, L"^J") == 0) { // a line break, raw or as the file stores it
            lines.emplace_back();
            i += ch == L'\n' ? 1 : 2;
            continue;
        }
        if (s.compare(i, 2, L"^I") == 0) {
            put(lines.back(), style, L'\t');
            i += 2;
            continue;
        }
        if (ch != L'\\' || i + 1 >= s.size()) {
            put(lines.back(), style, ch);
            ++i;
            continue;
        }
        const wchar_t code = s[i + 1];
        i += 2;
        switch (code) {
            case L'\\':
            case L'{':
            case L'}':
                put(lines.back(), style, code);
                break;
            case L'N':
                if (columnBreaks) columnBreaks->push_back(lines.size());
                lines.emplace_back();
                break;
            case L'P':
            case L'n':
            case L'X': // a dimension's text below its line
                lines.emplace_back();
                break;
            case L'~':
                put(lines.back(), style, L'\u00A0');
                break;
            case L'L':
            case L'l':
                style.underline = code == L'L';
                break;
            case L'O':
            case L'o':
                style.overline = code == L'O';
                break;
            case L'K':
            case L'k':
                style.strike = code == L'K';
                break;
            case L'H': {
                // \H2.5; sets the height, \H2x; multiplies it.
                const std::wstring arg = argument(s, i);
                wchar_t* end = nullptr;
                const double v = std::wcstod(arg.c_str(), &end);
                const bool relative = end && *end && std::towlower(static_cast<wint_t>(*end)) == L'x';
                const double scale = relative ? style.scale * v : (height > 0 ? v / height : 1.0);
                if (std::isfinite(scale) && scale > 0) style.scale = scale;
                break;
            }
            case L'C': {
                const std::wstring arg = argument(s, i);
                Rgb rgb;
                style.coloured = indexColour(std::wcstol(arg.c_str(), nullptr, 10), rgb);
                style.colour = rgb;
                break;
            }
            case L'c': {
                const std::wstring arg = argument(s, i);
                style.coloured = true;
                style.colour = trueColour(std::wcstoul(arg.c_str(), nullptr, 10));
                break;
            }
            case L'S': {
                // \Supper/lower; a fraction with a bar, upper#lower a slanted one, upper^lower stacked without.
                const std::wstring arg = argument(s, i);
                const size_t split = arg.find_first_of(L"/#^");
                TextRun run = style;
                run.stack = split == std::wstring::npos ? L'^' : arg[split];
                run.text = arg.substr(0, split);
                run.under = split == std::wstring::npos ? std::wstring() : arg.substr(split + 1);
                lines.back().push_back(run);
                break;
            }
            case L'U':
                // \U+XXXX: a character by its code point; a high surrogate with the low one after it is one
                // character, and a surrogate alone is no character: it is shown as written.
                if (i + 5 <= s.size() && s[i] == L'+') {
                    unsigned long cp = std::wcstoul(s.substr(i + 1, 4).c_str(), nullptr, 16);
                    if (cp >= 0xD800 && cp <= 0xDBFF && i + 12 <= s.size() && s[i + 5] == L'\\' && s[i + 6] == L'U' &&
                        s[i + 7] == L'+') {
                        const unsigned long low = std::wcstoul(s.substr(i + 8, 4).c_str(), nullptr, 16);
                        if (low >= 0xDC00 && low <= 0xDFFF) {
                            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                            i += 7;
                        }
                    }
                    if (cp >= 0xD800 && cp <= 0xDFFF) {
                        put(lines.back(), style, L'\\');
                        put(lines.back(), style, L'U');
                        for (size_t k = i; k < i + 5; ++k) put(lines.back(), style, s[k]);
                    } else if (cp > 0) {
                        put(lines.back(), style, static_cast<wchar_t>(cp));
                    }
                    i += 5;
                }
                break;
            case L'A':
            case L'F':
            case L'f':
            case L'Q':
            case L'T':
            case L'W':
            case L'p':
                argument(s, i); // alignment, font, slant, tracking, width and paragraph settings: set as plain
                break;
            default:
                break; // a code not known here: left out
        }
    }
    return lines;
}

} // namespace plot::drawing
