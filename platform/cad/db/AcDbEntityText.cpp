// Text, attribute definitions, attributes and paragraph text: their placement, box, extents and style.
#include <algorithm>
#include <cmath>
#include <cwctype>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"

ACRX_DEFINE_MEMBERS(AcDbText, AcDbEntity, L"TEXT")
ACRX_DEFINE_MEMBERS(AcDbAttributeDefinition, AcDbText, L"ATTDEF")
ACRX_DEFINE_MEMBERS(AcDbAttribute, AcDbText, L"ATTRIB")
ACRX_DEFINE_MEMBERS(AcDbMText, AcDbEntity, L"MTEXT")

namespace {
// How many characters a text shows: a %% code stands for one sign (%%c, %%d, %%p, %%%, %%nnn) or none
// (%%u, %%o, %%k turn lines on and off), a stored tab (^I) for one.
std::size_t shownLength(const wchar_t* s) {
    std::size_t n = 0;
    for (const wchar_t* p = s; *p;) {
        if (p[0] == L'%' && p[1] == L'%' && p[2]) {
            const wchar_t code = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(p[2])));
            if (code == L'u' || code == L'o' || code == L'k') {
                p += 3;
                continue;
            }
            if (code == L'c' || code == L'd' || code == L'p' || code == L'%') {
                p += 3;
                ++n;
                continue;
            }
            if (std::iswdigit(static_cast<wint_t>(p[2])) && p[3] && std::iswdigit(static_cast<wint_t>(p[3])) && p[4] &&
                std::iswdigit(static_cast<wint_t>(p[4]))) {
                p += 5;
                ++n;
                continue;
            }
        }
        p += p[0] == L'^' && p[1] == L'I' ? 2 : 1;
        ++n;
    }
    return n;
}

// Extents and selection outline of a text box given by its four world corners.
Acad::ErrorStatus boxExtents(const AcGePoint3d (&c)[4], AcDbExtents& ext) {
    ext = AcDbExtents();
    for (auto& p : c) ext.addPoint(p);
    return Acad::eOk;
}

void addBoxPath(std::vector<cadgeom::BulgePath>& paths, const AcGePoint3d (&c)[4], const AcGeMatrix3d& m) {
    cadgeom::BulgePath p;
    p.closed = true;
    for (auto& q : c) p.vertices.push_back({(m * q).convert2d(), 0});
    paths.push_back(p);
}
} // namespace

// ---------------------------------------------------------------- text

AcDbText::AcDbText(const AcGePoint3d& position, const ACHAR* text, AcDbObjectId style, double height, double rotation)
    : position_(position), height_(height), rotation_(rotation), text_(text ? text : L""), style_(style) {}

Acad::ErrorStatus AcDbText::setPosition(const AcGePoint3d& p) {
    assertWriteEnabled();
    position_ = p;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setAlignmentPoint(const AcGePoint3d& p) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.alignment = p; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setHeight(double h) {
    if (h < 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    height_ = h;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setWidthFactor(double w) {
    if (w <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.widthFactor = w; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setRotation(double r) {
    assertWriteEnabled();
    rotation_ = r;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setOblique(double a) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.oblique = a; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setThickness(double t) {
    assertWriteEnabled();
    rare_.change([&](Rare& r) { r.thickness = t; });
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setNormal(const AcGeVector3d& n) {
    AcGeVector3d normal = rare_->normal;
    Acad::ErrorStatus es = setUnitVector(normal, n);
    if (es == Acad::eOk) rare_.change([&](Rare& r) { r.normal = normal; });
    return es;
}
ACHAR* AcDbText::textString() const {
    return acutDupString(text_.c_str());
}
Acad::ErrorStatus AcDbText::setTextString(const ACHAR* s) {
    if (!s) return Acad::eInvalidInput;
    assertWriteEnabled();
    text_ = s;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setHorizontalMode(AcDb::TextHorzMode m) {
    assertWriteEnabled();
    hmode_ = m;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setVerticalMode(AcDb::TextVertMode m) {
    assertWriteEnabled();
    vmode_ = m;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::setTextStyle(AcDbObjectId id) {
    assertWriteEnabled();
    style_ = id;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::mirrorInX(bool v) {
    assertWriteEnabled();
    genFlags_ = v ? (genFlags_ | 2) : (genFlags_ & ~2);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbText::mirrorInY(bool v) {
    assertWriteEnabled();
    genFlags_ = v ? (genFlags_ | 4) : (genFlags_ & ~4);
    return Acad::eOk;
}

void AcDbText::onAddedToDatabase(AcDbDatabase* db) {
    AcDbEntity::onAddedToDatabase(db);
    if (style_.isNull() && !db->isLoading()) style_ = db->textstyle();
    if (height_ == 0 && !db->isLoading()) height_ = db->textsize();
}

Acad::ErrorStatus AcDbText::transformBy(const AcGeMatrix3d& m) {
    // The text's X direction in world coordinates, transformed, gives the new rotation.
    Rare r = rare_.get();
    AcGeMatrix3d p2w = AcGeMatrix3d::planeToWorld(r.normal);
    AcGeVector3d dir = p2w * AcGeVector3d(std::cos(rotation_), std::sin(rotation_), 0);
    AcGeVector3d up = p2w * AcGeVector3d(-std::sin(rotation_), std::cos(rotation_), 0);
    AcGeVector3d ndir = m * dir, nup = m * up, nn = m * r.normal;
    if (ndir.isZeroLength() || nup.isZeroLength()) return Acad::eCannotScaleNonUniformly;
    bool mirrored = m.det() < 0;
    assertWriteEnabled();
    position_ = m * position_;
    r.alignment = m * r.alignment;
    r.normal = nn.normal();
    double sx = ndir.length(), sy = nup.length();
    height_ *= sy;
    if (sy > 0) r.widthFactor *= sx / sy;
    rare_.put(r);
    AcGeVector3d local = AcGeMatrix3d::worldToPlane(r.normal) * (mirrored ? -ndir : ndir);
    rotation_ = std::atan2(local.y, local.x);
    if (rotation_ < 0) rotation_ += 2 * M_PI;
    if (mirrored) genFlags_ ^= 2;
    return Acad::eOk;
}

void AcDbText::boxCorners(AcGePoint3d c[4]) const {
    const Rare& r = rare_.get();
    double w = 0.8 * height_ * r.widthFactor * double(shownLength(text_.c_str())), h = height_;
    AcGePoint3d base = isDefaultAlignment() ? position_ : r.alignment;
    double x0 = 0, y0 = 0;
    switch (hmode_) {
        case AcDb::kTextCenter:
        case AcDb::kTextMid:
            x0 = -w / 2;
            break;
        case AcDb::kTextRight:
            x0 = -w;
            break;
        case AcDb::kTextAlign:
        case AcDb::kTextFit:
            base = position_;
            break;
        default:
            break;
    }
    switch (vmode_) {
        case AcDb::kTextVertMid:
            y0 = -h / 2;
            break;
        case AcDb::kTextTop:
            y0 = -h;
            break;
        default:
            break;
    }
    if (hmode_ == AcDb::kTextMid) y0 = -h / 2;
    AcGeMatrix3d p2w = AcGeMatrix3d::planeToWorld(r.normal);
    AcGeVector3d dx = p2w * AcGeVector3d(std::cos(rotation_), std::sin(rotation_), 0);
    AcGeVector3d dy = p2w * AcGeVector3d(-std::sin(rotation_), std::cos(rotation_), 0);
    if (hmode_ == AcDb::kTextAlign || hmode_ == AcDb::kTextFit) w = position_.distanceTo(r.alignment);
    // Backward text lies mirrored about its point along its baseline (aligned and fitted text about the
    // baseline's middle, between its points), upside-down text across it.
    if (genFlags_ & 2) x0 = (hmode_ == AcDb::kTextAlign || hmode_ == AcDb::kTextFit) ? x0 : -x0 - w;
    if (genFlags_ & 4) y0 = -y0 - h;
    c[0] = base + dx * x0 + dy * y0;
    c[1] = c[0] + dx * w;
    c[2] = c[1] + dy * h;
    c[3] = c[0] + dy * h;
}

Acad::ErrorStatus AcDbText::getGeomExtents(AcDbExtents& ext) const {
    AcGePoint3d c[4];
    boxCorners(c);
    return boxExtents(c, ext);
}

void AcDbText::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    AcGePoint3d c[4];
    boxCorners(c);
    addBoxPath(paths, c, m);
}

void AcDbText::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbEntity::collectReferences(refs);
    refs.push_back(&style_);
}

// ---------------------------------------------------------------- attribute definitions and attributes

AcDbAttributeDefinition::AcDbAttributeDefinition(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag,
                                                 const ACHAR* prompt, AcDbObjectId style)
    : AcDbText(position, text, style), tag_(tag ? tag : L""), prompt_(prompt ? prompt : L"") {}

ACHAR* AcDbAttributeDefinition::tag() const {
    return acutDupString(tag_.c_str());
}
ACHAR* AcDbAttributeDefinition::prompt() const {
    return acutDupString(prompt_.c_str());
}

// Tags are kept as given (labels of constant definitions may hold blanks).
Acad::ErrorStatus AcDbAttributeDefinition::setTag(const ACHAR* t) {
    if (!t || !*t) return Acad::eInvalidInput;
    assertWriteEnabled();
    tag_ = t;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttributeDefinition::setPrompt(const ACHAR* p) {
    assertWriteEnabled();
    prompt_ = p ? p : L"";
    return Acad::eOk;
}
#define ATT_FLAG(CLS, FN, BIT)                         \
    Acad::ErrorStatus CLS::FN(bool v) {                \
        assertWriteEnabled();                          \
        flags_ = v ? (flags_ | BIT) : (flags_ & ~BIT); \
        return Acad::eOk;                              \
    }
ATT_FLAG(AcDbAttributeDefinition, setInvisible, 1)
ATT_FLAG(AcDbAttributeDefinition, setConstant, 2)
ATT_FLAG(AcDbAttributeDefinition, setVerifiable, 4)
ATT_FLAG(AcDbAttributeDefinition, setPreset, 8)
ATT_FLAG(AcDbAttribute, setInvisible, 1)
#undef ATT_FLAG
Acad::ErrorStatus AcDbAttributeDefinition::setFieldLength(Adesk::UInt16 n) {
    assertWriteEnabled();
    fieldLength_ = n;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttributeDefinition::setLockPositionInBlock(bool v) {
    assertWriteEnabled();
    lockPosition_ = v;
    return Acad::eOk;
}

AcDbAttribute::AcDbAttribute(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag, AcDbObjectId style)
    : AcDbText(position, text, style), tag_(tag ? tag : L"") {}

ACHAR* AcDbAttribute::tag() const {
    return acutDupString(tag_.c_str());
}
Acad::ErrorStatus AcDbAttribute::setTag(const ACHAR* t) {
    if (!t || !*t) return Acad::eInvalidInput;
    assertWriteEnabled();
    tag_ = t;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttribute::setFieldLength(Adesk::UInt16 n) {
    assertWriteEnabled();
    fieldLength_ = n;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbAttribute::setLockPositionInBlock(bool v) {
    assertWriteEnabled();
    lockPosition_ = v;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbAttribute::setAttributeFromBlock(const AcDbAttributeDefinition* def, const AcGeMatrix3d& xform) {
    if (!def) return Acad::eNullEntityPointer;
    setPropertiesFrom(def);
    setPosition(def->position());
    setAlignmentPoint(def->alignmentPoint());
    setHeight(def->height());
    setWidthFactor(def->widthFactor());
    setRotation(def->rotation());
    setOblique(def->oblique());
    setNormal(def->normal());
    setHorizontalMode(def->horizontalMode());
    setVerticalMode(def->verticalMode());
    setTextStyle(def->textStyle());
    setTextString(def->textStringConst());
    setGenerationFlags(def->generationFlags());
    tag_ = def->tagConst();
    flags_ = def->attributeFlags();
    fieldLength_ = def->fieldLength();
    lockPosition_ = def->lockPositionInBlock();
    return transformBy(xform);
}

// ---------------------------------------------------------------- mtext

Acad::ErrorStatus AcDbMText::setLocation(const AcGePoint3d& p) {
    assertWriteEnabled();
    location_ = p;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setNormal(const AcGeVector3d& n) {
    return setUnitVector(normal_, n);
}
Acad::ErrorStatus AcDbMText::setDirection(const AcGeVector3d& d) {
    return setUnitVector(direction_, d);
}
double AcDbMText::rotation() const {
    AcGeVector3d local = AcGeMatrix3d::worldToPlane(normal_) * direction_;
    double r = std::atan2(local.y, local.x);
    return r < 0 ? r + 2 * M_PI : r;
}
Acad::ErrorStatus AcDbMText::setRotation(double r) {
    assertWriteEnabled();
    direction_ = AcGeMatrix3d::planeToWorld(normal_) * AcGeVector3d(std::cos(r), std::sin(r), 0);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setWidth(double w) {
    assertWriteEnabled();
    width_ = w;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setTextHeight(double h) {
    if (h <= 0) return Acad::eInvalidInput;
    assertWriteEnabled();
    height_ = h;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setAttachment(AttachmentPoint a) {
    assertWriteEnabled();
    attachment_ = a;
    return Acad::eOk;
}
ACHAR* AcDbMText::contents() const {
    return acutDupString(contents_.c_str());
}
int AcDbMText::setContents(const ACHAR* s) {
    assertWriteEnabled();
    contents_ = s ? s : L"";
    return int(contents_.size());
}
Acad::ErrorStatus AcDbMText::setTextStyle(AcDbObjectId id) {
    assertWriteEnabled();
    style_ = id;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbMText::setLineSpacingFactor(double f) {
    assertWriteEnabled();
    lineSpacing_ = f;
    return Acad::eOk;
}

std::wstring AcDbMText::text() const {
    // Drop formatting: \P is a new paragraph, \X...; codes end at ';', braces group, \\ \{ \} escape;
    // a stacked fraction's text stays.
    std::wstring out;
    const std::wstring& s = contents_;
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L'{' || c == L'}') continue;
        if (c != L'\\' || i + 1 >= s.size()) {
            out += c;
            continue;
        }
        wchar_t k = s[++i];
        if (k == L'\\' || k == L'{' || k == L'}')
            out += k;
        else if (k == L'P' || k == L'n')
            out += L'\n';
        else if (k == L'~')
            out += L' ';
        else if (std::wstring(L"LlOoKk").find(k) != std::wstring::npos)
            continue;
        else if (k == L'S') {
            // A stacked fraction keeps its text: \S1/2; is 1/2.
            size_t e = s.find(L';', i);
            out += s.substr(i + 1, (e == std::wstring::npos ? s.size() : e) - i - 1);
            if (e == std::wstring::npos) break;
            i = e;
        } else {
            size_t e = s.find(L';', i);
            if (e == std::wstring::npos) break;
            i = e;
        }
    }
    return out;
}

void AcDbMText::onAddedToDatabase(AcDbDatabase* db) {
    AcDbEntity::onAddedToDatabase(db);
    if (style_.isNull() && !db->isLoading()) style_ = db->textstyle();
}

Acad::ErrorStatus AcDbMText::transformBy(const AcGeMatrix3d& m) {
    AcGeVector3d d = m * direction_, n = m * normal_;
    if (d.isZeroLength() || n.isZeroLength()) return Acad::eCannotScaleNonUniformly;
    double s = d.length();
    assertWriteEnabled();
    location_ = m * location_;
    direction_ = d.normal();
    normal_ = n.normal();
    height_ *= s;
    width_ *= s;
    return Acad::eOk;
}

void AcDbMText::boxCorners(AcGePoint3d c[4]) const {
    int lines = 1;
    size_t longest = 0, cur = 0;
    for (wchar_t ch : text()) {
        if (ch == L'\n') {
            ++lines;
            longest = std::max(longest, cur);
            cur = 0;
        } else {
            ++cur;
        }
    }
    longest = std::max(longest, cur);
    double w = width_ > 0 ? width_ : 0.8 * height_ * double(longest);
    double h = height_ * (1 + (lines - 1) * 1.667 * lineSpacing_);
    int a = int(attachment_) - 1;
    double x0 = -(a % 3) * w / 2, y0 = (a / 3 == 0) ? -h : (a / 3 == 1 ? -h / 2 : 0);
    AcGeVector3d dx = direction_, dy = normal_.crossProduct(direction_).normal();
    c[0] = location_ + dx * x0 + dy * y0;
    c[1] = c[0] + dx * w;
    c[2] = c[1] + dy * h;
    c[3] = c[0] + dy * h;
}

Acad::ErrorStatus AcDbMText::getGeomExtents(AcDbExtents& ext) const {
    AcGePoint3d c[4];
    boxCorners(c);
    return boxExtents(c, ext);
}

void AcDbMText::getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const {
    AcGePoint3d c[4];
    boxCorners(c);
    addBoxPath(paths, c, m);
}

void AcDbMText::collectReferences(std::vector<AcDbObjectId*>& refs) {
    AcDbEntity::collectReferences(refs);
    refs.push_back(&style_);
}
