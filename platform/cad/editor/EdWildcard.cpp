#include "cad/editor/EdWildcard.h"

#include "cad/editor/EdCodes.h"

#include <cwctype>
#include <vector>

namespace ed {
namespace {

wchar_t fold(wchar_t c) {
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

// Matches one alternative (no top-level commas) against the whole text.
bool matchOne(std::wstring_view t, std::wstring_view p) {
    // Iterative matcher with back-tracking to the last '*'.
    size_t ti = 0, pi = 0;
    size_t starP = std::wstring_view::npos, starT = 0;
    auto single = [&](size_t& pj, wchar_t c) -> bool {
        // Consumes one pattern element at pj and tests c against it.
        wchar_t pc = p[pj];
        if (pc == L'`' && pj + 1 < p.size()) {
            pj += 2;
            return fold(p[pj - 1]) == fold(c);
        }
        if (pc == L'?') {
            ++pj;
            return true;
        }
        if (pc == L'#') {
            ++pj;
            return std::iswdigit(static_cast<wint_t>(c)) != 0;
        }
        if (pc == L'@') {
            ++pj;
            return std::iswalpha(static_cast<wint_t>(c)) != 0;
        }
        if (pc == L'.') {
            ++pj;
            return std::iswalnum(static_cast<wint_t>(c)) == 0;
        }
        if (pc == L'[') {
            size_t k = pj + 1;
            bool negate = false;
            if (k < p.size() && p[k] == L'~') {
                negate = true;
                ++k;
            }
            bool found = false;
            bool first = true;
            while (k < p.size() && (p[k] != L']' || first)) {
                first = false;
                wchar_t lo = p[k];
                if (lo == L'`' && k + 1 < p.size()) lo = p[++k];
                if (k + 2 < p.size() && p[k + 1] == L'-' && p[k + 2] != L']') {
                    wchar_t hi = p[k + 2];
                    if (fold(c) >= fold(lo) && fold(c) <= fold(hi)) found = true;
                    k += 3;
                } else {
                    if (fold(c) == fold(lo)) found = true;
                    ++k;
                }
            }
            if (k >= p.size()) { // no closing bracket: the '[' is an ordinary character
                ++pj;
                return c == L'[';
            }
            pj = k + 1;
            return found != negate;
        }
        ++pj;
        return fold(pc) == fold(c);
    };
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == L'*') {
            starP = ++pi;
            starT = ti;
            continue;
        }
        size_t pj = pi;
        if (pi < p.size() && single(pj, t[ti])) {
            pi = pj;
            ++ti;
            continue;
        }
        if (starP == std::wstring_view::npos) return false;
        pi = starP;
        ti = ++starT;
    }
    while (pi < p.size() && p[pi] == L'*') ++pi;
    return pi == p.size();
}

std::vector<std::wstring_view> alternatives(std::wstring_view p) {
    std::vector<std::wstring_view> out;
    size_t start = 0;
    bool inSet = false;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == L'`') {
            ++i;
            continue;
        }
        if (p[i] == L'[')
            inSet = true;
        else if (p[i] == L']')
            inSet = false;
        else if (p[i] == L',' && !inSet) {
            out.push_back(p.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(p.substr(start));
    return out;
}

} // namespace

bool wildcardMatch(std::wstring_view text, std::wstring_view pattern) {
    for (std::wstring_view alt : alternatives(pattern)) {
        bool negate = !alt.empty() && alt.front() == L'~';
        if (negate) alt.remove_prefix(1);
        if (matchOne(text, alt) != negate) return true;
    }
    return false;
}

} // namespace ed

int acutWcMatch(const wchar_t* string, const wchar_t* pattern) {
    if (!string || !pattern) return RTERROR;
    return ed::wildcardMatch(string, pattern) ? RTNORM : RTERROR;
}
