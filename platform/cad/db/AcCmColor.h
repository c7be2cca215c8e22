#pragma once
// Colours: an index, a true colour, by layer or by block.
#include "cad/db/AcDbCore.h"

#include <utility>

// A name many objects hold alike (an entity's layer and linetype, a colour's book, an attribute's tag):
// one shared copy per distinct name (a drawing has a few dozen and hundreds of thousands of entities),
// freed with the last object naming it, so that opening and closing drawings leaves nothing behind.
class AcDbSharedName {
public:
    AcDbSharedName(const wchar_t* name) : AcDbSharedName(std::wstring(name)) {}
    AcDbSharedName(const std::wstring& name) : entry_(acquire(name)) {}
    AcDbSharedName(const AcDbSharedName& other) : entry_(other.entry_) { retain(entry_); }
    AcDbSharedName& operator=(const AcDbSharedName& other) {
        retain(other.entry_);
        release(entry_);
        entry_ = other.entry_;
        return *this;
    }
    AcDbSharedName& operator=(const std::wstring& name) {
        Entry* e = acquire(name);
        release(entry_);
        entry_ = e;
        return *this;
    }
    AcDbSharedName& operator=(const wchar_t* name) { return *this = std::wstring(name); }
    ~AcDbSharedName() { release(entry_); }
    // The names nearly every entity and colour starts with, looked up once.
    static const AcDbSharedName& none();
    static const AcDbSharedName& layerZero();
    static const AcDbSharedName& byLayer();
    operator const std::wstring&() const { return entry_->first; }
    const std::wstring& str() const { return entry_->first; }
    const wchar_t* c_str() const { return entry_->first.c_str(); }

private:
    using Entry = std::pair<const std::wstring, std::size_t>; // the name and how many hold it
    static Entry* acquire(const std::wstring& name);
    static void retain(Entry* e);
    static void release(Entry* e);
    Entry* entry_;
};

namespace AcCm {
enum ColorMethod : Adesk::UInt8 {
    kByLayer = 0xC0,
    kByBlock = 0xC1,
    kByColor = 0xC2, // true colour
    kByACI = 0xC3,   // colour index
    kByPen = 0xC4,
    kForeground = 0xC5,
    kNone = 0xC8
};
} // namespace AcCm

// A colour as entities and layers hold it: method plus value (index, or 0xRRGGBB for a true colour).
class AcCmEntityColor {
public:
    using ColorMethod = AcCm::ColorMethod;
    static constexpr AcCm::ColorMethod kByLayer = AcCm::kByLayer;
    static constexpr AcCm::ColorMethod kByBlock = AcCm::kByBlock;
    static constexpr AcCm::ColorMethod kByColor = AcCm::kByColor;
    static constexpr AcCm::ColorMethod kByACI = AcCm::kByACI;
    static constexpr AcCm::ColorMethod kByPen = AcCm::kByPen;
    static constexpr AcCm::ColorMethod kForeground = AcCm::kForeground;
    static constexpr AcCm::ColorMethod kNone = AcCm::kNone;
    AcCmEntityColor() = default;
    AcCmEntityColor(AcCm::ColorMethod m) : method_(m) {}
    AcCmEntityColor(Adesk::UInt8 r, Adesk::UInt8 g, Adesk::UInt8 b) { setRGB(r, g, b); }

    AcCm::ColorMethod colorMethod() const { return method_; }
    Acad::ErrorStatus setColorMethod(AcCm::ColorMethod m);
    Adesk::Int16 colorIndex() const;
    Acad::ErrorStatus setColorIndex(Adesk::Int16 i);
    Acad::ErrorStatus setRGB(Adesk::UInt8 r, Adesk::UInt8 g, Adesk::UInt8 b);
    Acad::ErrorStatus setRed(Adesk::UInt8 r);
    Acad::ErrorStatus setGreen(Adesk::UInt8 g);
    Acad::ErrorStatus setBlue(Adesk::UInt8 b);
    Adesk::UInt8 red() const;
    Adesk::UInt8 green() const;
    Adesk::UInt8 blue() const;
    // The colour as the drawing format stores it: 0xRRGGBB for a true colour.
    Adesk::UInt32 trueColor() const;
    bool isByLayer() const { return method_ == AcCm::kByLayer || (method_ == AcCm::kByACI && index_ == 256); }
    bool isByBlock() const { return method_ == AcCm::kByBlock || (method_ == AcCm::kByACI && index_ == 0); }
    bool isByColor() const { return method_ == AcCm::kByColor; }
    bool isByACI() const { return method_ == AcCm::kByACI; }
    bool isNone() const { return method_ == AcCm::kNone; }
    // The RGB of a colour index from the standard 256-colour palette, as 0xRRGGBB.
    static Adesk::UInt32 lookUpRGB(Adesk::UInt8 index);
    // The palette index nearest to an RGB colour.
    static Adesk::UInt8 lookUpACI(Adesk::UInt8 r, Adesk::UInt8 g, Adesk::UInt8 b);
    friend bool operator==(const AcCmEntityColor& a, const AcCmEntityColor& b) {
        return a.method_ == b.method_ && a.index_ == b.index_ && a.rgb_ == b.rgb_;
    }
    friend bool operator!=(const AcCmEntityColor& a, const AcCmEntityColor& b) { return !(a == b); }

private:
    AcCm::ColorMethod method_ = AcCm::kByLayer;
    Adesk::Int16 index_ = 256;
    Adesk::UInt32 rgb_ = 0;
};

// The colour value of the API: an entity colour plus an optional colour-book name.
class AcCmColor {
public:
    AcCmColor() = default;
    AcCmColor(const AcCmEntityColor& c) : color_(c) {}
    AcCm::ColorMethod colorMethod() const { return color_.colorMethod(); }
    Acad::ErrorStatus setColorMethod(AcCm::ColorMethod m) { return color_.setColorMethod(m); }
    Adesk::UInt16 colorIndex() const { return Adesk::UInt16(color_.colorIndex()); }
    Acad::ErrorStatus setColorIndex(Adesk::UInt16 i) { return color_.setColorIndex(Adesk::Int16(i)); }
    Acad::ErrorStatus setRGB(Adesk::UInt8 r, Adesk::UInt8 g, Adesk::UInt8 b) { return color_.setRGB(r, g, b); }
    Acad::ErrorStatus setRed(Adesk::UInt8 v) { return color_.setRed(v); }
    Acad::ErrorStatus setGreen(Adesk::UInt8 v) { return color_.setGreen(v); }
    Acad::ErrorStatus setBlue(Adesk::UInt8 v) { return color_.setBlue(v); }
    Adesk::UInt8 red() const { return color_.red(); }
    Adesk::UInt8 green() const { return color_.green(); }
    Adesk::UInt8 blue() const { return color_.blue(); }
    Adesk::UInt32 trueColor() const { return color_.trueColor(); }
    bool isByLayer() const { return color_.isByLayer(); }
    bool isByBlock() const { return color_.isByBlock(); }
    bool isByColor() const { return color_.isByColor(); }
    bool isByACI() const { return color_.isByACI(); }
    bool isNone() const { return color_.isNone(); }
    const AcCmEntityColor& entityColor() const { return color_; }
    const ACHAR* colorName() const { return names_.c_str(); }
    const ACHAR* bookName() const;
    Acad::ErrorStatus setNames(const ACHAR* colorName, const ACHAR* bookName = nullptr);
    friend bool operator==(const AcCmColor& a, const AcCmColor& b) { return a.color_ == b.color_; }
    friend bool operator!=(const AcCmColor& a, const AcCmColor& b) { return !(a == b); }

private:
    AcCmEntityColor color_;
    // The colour's name, then, when it has one, a NUL and the book's name: one shared copy for both.
    AcDbSharedName names_ = AcDbSharedName::none();
};
