#include "cad/db/AcCmColor.h"

#include <climits>
#include <cmath>
#include <mutex>
#include <unordered_map>

namespace {
// The standard 256-colour palette as 0xRRGGBB: 1-9 named colours, 10-249 hue rings, 250-255 greys.
Adesk::UInt32 paletteEntry(int i) {
    static const Adesk::UInt32 named[10] = {0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                                            0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0};
    if (i >= 0 && i <= 9) return named[i];
    if (i >= 250) {
        static const Adesk::UInt32 greys[6] = {0x333333, 0x505050, 0x696969, 0x828282, 0xBEBEBE, 0xFFFFFF};
        return greys[i - 250];
    }
    // Hue in steps of 15 degrees; within a hue: five value levels, each with full and half saturation.
    int hueIdx = (i - 10) / 10, sub = (i - 10) % 10;
    double hue = hueIdx * 15.0;
    static const double values[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
    double v = values[sub / 2];
    double s = (sub % 2 == 0) ? 1.0 : 0.5;
    double c = v * s, h = hue / 60.0;
    double x = c * (1 - std::abs(std::fmod(h, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    if (h < 1) {
        r = c;
        g = x;
    } else if (h < 2) {
        r = x;
        g = c;
    } else if (h < 3) {
        g = c;
        b = x;
    } else if (h < 4) {
        g = x;
        b = c;
    } else if (h < 5) {
        r = x;
        b = c;
    } else {
        r = c;
        b = x;
    }
    double m = v - c;
    auto to8 = [](double d) { return Adesk::UInt32(d * 255.0 + 0.5); };
    return (to8(r + m) << 16) | (to8(g + m) << 8) | to8(b + m);
}
} // namespace

Acad::ErrorStatus AcCmEntityColor::setColorMethod(AcCm::ColorMethod m) {
    // Switching between index and true colour keeps the colour shown.
    if (m == AcCm::kByColor && method_ == AcCm::kByACI) rgb_ = lookUpRGB(Adesk::UInt8(index_));
    if (m == AcCm::kByACI && method_ == AcCm::kByColor) index_ = lookUpACI(red(), green(), blue());
    method_ = m;
    if (m == AcCm::kByLayer)
        index_ = 256;
    else if (m == AcCm::kByBlock)
        index_ = 0;
    return Acad::eOk;
}

Adesk::Int16 AcCmEntityColor::colorIndex() const {
    switch (method_) {
        case AcCm::kByLayer:
            return 256;
        case AcCm::kByBlock:
            return 0;
        case AcCm::kByACI:
            return index_;
        case AcCm::kByColor:
            return Adesk::Int16(lookUpACI(red(), green(), blue()));
        case AcCm::kForeground:
            return 7;
        default:
            return 257;
    }
}

Acad::ErrorStatus AcCmEntityColor::setColorIndex(Adesk::Int16 i) {
    if (i < 0 || i > 257) return Acad::eInvalidInput;
    if (i == 256) {
        method_ = AcCm::kByLayer;
        index_ = 256;
        return Acad::eOk;
    }
    if (i == 0) {
        method_ = AcCm::kByBlock;
        index_ = 0;
        return Acad::eOk;
    }
    if (i == 257) {
        method_ = AcCm::kNone;
        index_ = 257;
        return Acad::eOk;
    }
    method_ = AcCm::kByACI;
    index_ = i;
    return Acad::eOk;
}

Acad::ErrorStatus AcCmEntityColor::setRGB(Adesk::UInt8 r, Adesk::UInt8 g, Adesk::UInt8 b) {
    method_ = AcCm::kByColor;
    rgb_ = (Adesk::UInt32(r) << 16) | (Adesk::UInt32(g) << 8) | b;
    return Acad::eOk;
}

Acad::ErrorStatus AcCmEntityColor::setRed(Adesk::UInt8 r) {
    return setRGB(r, green(), blue());
}
Acad::ErrorStatus AcCmEntityColor::setGreen(Adesk::UInt8 g) {
    return setRGB(red(), g, blue());
}
Acad::ErrorStatus AcCmEntityColor::setBlue(Adesk::UInt8 b) {
    return setRGB(red(), green(), b);
}

Adesk::UInt32 AcCmEntityColor::trueColor() const {
    if (method_ == AcCm::kByColor) return rgb_;
    if (method_ == AcCm::kByACI) return lookUpRGB(Adesk::UInt8(index_));
    return 0;
}
Adesk::UInt8 AcCmEntityColor::red() const {
    return Adesk::UInt8(trueColor() >> 16);
}
Adesk::UInt8 AcCmEntityColor::green() const {
    return Adesk::UInt8(trueColor() >> 8);
}
Adesk::UInt8 AcCmEntityColor::blue() const {
    return Adesk::UInt8(trueColor());
}

Adesk::UInt32 AcCmEntityColor::lookUpRGB(Adesk::UInt8 index) {
    return paletteEntry(index);
}

Adesk::UInt8 AcCmEntityColor::lookUpACI(Adesk::UInt8 r, Adesk::UInt8 g, Adesk::UInt8 b) {
    int best = 1;
    long bestD = LONG_MAX;
    for (int i = 1; i <= 255; ++i) {
        Adesk::UInt32 c = paletteEntry(i);
        long dr = long((c >> 16) & 255) - r, dg = long((c >> 8) & 255) - g, db = long(c & 255) - b;
        long d = dr * dr + dg * dg + db * db;
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return Adesk::UInt8(best);
}

Acad::ErrorStatus AcCmColor::setNames(const ACHAR* colorName, const ACHAR* bookName) {
    std::wstring names = colorName ? colorName : L"";
    if (bookName && *bookName) names.append(1, L'\0').append(bookName);
    names_ = names;
    return Acad::eOk;
}

const ACHAR* AcCmColor::bookName() const {
    const std::wstring& names = names_.str();
    const std::size_t end = names.find(L'\0');
    return end == std::wstring::npos ? L"" : names.c_str() + end + 1;
}

namespace {
std::mutex g_namesMutex; // constant-initialised: usable before any other static
// Made on first use, whatever static is first to name something, and heap-held: entities destroyed
// at exit may still release names.
std::unordered_map<std::wstring, std::size_t>& names() {
    static auto* held = new std::unordered_map<std::wstring, std::size_t>;
    return *held;
}
} // namespace

AcDbSharedName::Entry* AcDbSharedName::acquire(const std::wstring& name) {
    std::lock_guard<std::mutex> lock(g_namesMutex);
    Entry& e = *names().try_emplace(name, 0).first;
    ++e.second;
    return &e;
}

void AcDbSharedName::retain(Entry* e) {
    std::lock_guard<std::mutex> lock(g_namesMutex);
    ++e->second;
}

// Held for ever, so they outlive every object that starts with them.
const AcDbSharedName& AcDbSharedName::none() {
    static const auto* name = new AcDbSharedName(L"");
    return *name;
}

const AcDbSharedName& AcDbSharedName::layerZero() {
    static const auto* name = new AcDbSharedName(L"0");
    return *name;
}

const AcDbSharedName& AcDbSharedName::byLayer() {
    static const auto* name = new AcDbSharedName(L"ByLayer");
    return *name;
}

void AcDbSharedName::release(Entry* e) {
    std::lock_guard<std::mutex> lock(g_namesMutex);
    if (--e->second == 0) names().erase(names().find(e->first));
}
