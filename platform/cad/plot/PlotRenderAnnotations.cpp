// Drawing annotations kept as read on the plot: a dimension as an insert of the block that holds its
// picture, a multileader as its leader lines, arrows and text or block, an image as its frame.
#include "cad/plot/PlotRenderer.h"

#include "cad/editor/EdPrintf.h"

#include <array>
#include <cmath>
#include <cwchar>

namespace plot::drawing {

namespace {

double num(const std::wstring& v) {
    const double d = std::wcstod(v.c_str(), nullptr);
    return std::isfinite(d) ? d : 0.0;
}

// The point of group code i's x, with its y (code + 10) and z (code + 20) when they follow.
AcGePoint3d pointAt(const AcDbDxfTags& t, size_t i) {
    const int code = t[i].first;
    AcGePoint3d p(num(t[i].second), 0, 0);
    if (i + 1 < t.size() && t[i + 1].first == code + 10) p.y = num(t[i + 1].second);
    if (i + 2 < t.size() && t[i + 2].first == code + 20) p.z = num(t[i + 2].second);
    return p;
}

AcGeVector3d vectorAt(const AcDbDxfTags& t, size_t i) {
    const AcGePoint3d p = pointAt(t, i);
    return {p.x, p.y, p.z};
}

AcDbObjectId blockNamed(AcDbDatabase* db, const std::wstring& name) {
    AcDbObjectId id;
    AcDbBlockTable* table = nullptr;
    if (!db || name.empty() || db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return id;
    table->getAt(name.c_str(), id);
    table->close();
    return id;
}

// The block record a handle names; null when the drawing holds none.
AcDbObjectId blockByHandle(AcDbDatabase* db, const std::wstring& handle) {
    AcDbObjectId id;
    const AcDbHandle h(handle.c_str());
    if (!db || h.isNull() || db->getAcDbObjectId(id, false, h) != Acad::eOk) return AcDbObjectId();
    AcDbBlockTableRecord* btr = nullptr;
    if (acdbOpenObject(btr, id, AcDb::kForRead) != Acad::eOk) return AcDbObjectId();
    btr->close();
    return id;
}

// A dimension is drawn by the block its group 2 names (the picture the program that made it drew), placed at
// its group 12 when it has one.
AcDbObjectId dimensionBlock(const AcDbRawEntity* dim, AcGeMatrix3d& place) {
    const AcDbDxfTags& t = dim->tags();
    std::wstring name;
    AcGePoint3d at;
    AcGeVector3d normal = AcGeVector3d::kZAxis;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].first == 2 && name.empty()) name = t[i].second;
        if (t[i].first == 12) at = pointAt(t, i);
        if (t[i].first == 210 && !vectorAt(t, i).isZeroLength()) normal = vectorAt(t, i).normal();
    }
    place = AcGeMatrix3d::translation(AcGeMatrix3d::planeToWorld(normal) * at - AcGePoint3d::kOrigin);
    return blockNamed(dim->database(), name);
}

// Whether a picture's block is a layout's, said once: a layout is drawn only as the space it is.
bool layoutPicture(Ctx& c, AcDbObjectId block, const std::wstring& what) {
    if (!AcDbBlockExpansion::isLayoutBlock(block)) return false;
    leaveOutPart(c, what);
    return true;
}

void drawDimension(Ctx& c, const AcDbRawEntity* dim, const AcGeMatrix3d& m, const AcCmEntityColor& inherit,
                   AcDbObjectId layer, int depth) {
    AcGeMatrix3d place;
    const AcDbObjectId block = dimensionBlock(dim, place);
    if (block.isNull()) {
        leaveOutPart(c, dim->dxfName() + L" entities whose block the drawing does not hold");
        return;
    }
    if (layoutPicture(c, block, dim->dxfName() + L" entities whose block is a layout's")) return;
    drawBlock(c, block, m * place, inherit, layer, depth);
}

// A colour as a multileader holds it: by layer and by block take the multileader's own.
Rgb leaderColour(long long raw, const Rgb& own) {
    const auto kind = (raw >> 24) & 0xFF;
    if (kind == 0xC2) return {((raw >> 16) & 0xFF) / 255.0, ((raw >> 8) & 0xFF) / 255.0, (raw & 0xFF) / 255.0};
    if (kind == 0xC3 && (raw & 0xFF) >= 1 && (raw & 0xFF) <= 255) {
        Adesk::UInt32 v = AcCmEntityColor::lookUpRGB(Adesk::UInt8(raw & 0xFF));
        if ((v & 0xFFFFFF) == 0xFFFFFF) v = 0;
        return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
    }
    return own;
}

long long rawColour(const std::wstring& v) {
    return static_cast<long long>(static_cast<std::uint32_t>(std::wcstoll(v.c_str(), nullptr, 10)));
}

// What a multileader holds, as its context data and its own part give it.
struct MultiLeader {
    struct Leader {
        AcGePoint3d last;
        bool hasLast = false;
        AcGeVector3d dogleg{1, 0, 0};
        double doglegLength = 0;
        bool horizontal = true;
        std::vector<std::vector<AcGePoint3d>> lines;
    };
    std::vector<Leader> leaders;
    double arrowSize = 0;
    bool hasText = false, hasBlock = false;
    std::wstring text;
    AcGePoint3d textAt;
    AcGeVector3d textDirection{1, 0, 0}, textNormal{0, 0, 1};
    double textHeight = 0, textWidth = 0, lineSpacing = 1;
    int attachment = 1;
    long long textColour = 0xC1000000;
    std::wstring block;
    AcGePoint3d blockAt;
    AcGeScale3d blockScale;
    AcGeVector3d blockNormal{0, 0, 1};
    double blockRotation = 0;
    long long lineColour = 0xC1000000;
    int lineType = 1; // 0 none, 1 straight, 2 spline
    bool dogleg = true;
    std::wstring arrowBlock;
    bool attributes = false;
};

MultiLeader readMultiLeader(const AcDbDxfTags& t) {
    MultiLeader ml;
    enum { kOwn, kContext, kLeader, kLine } where = kOwn;
    for (size_t i = 0; i < t.size(); ++i) {
        const int code = t[i].first;
        const std::wstring& v = t[i].second;
        if (code == 300 && v == L"CONTEXT_DATA{") {
            where = kContext;
        } else if (code == 301) {
            where = kOwn;
        } else if (code == 302 && v == L"LEADER{") {
            where = kLeader;
            ml.leaders.emplace_back();
        } else if (code == 303) {
            where = kContext;
        } else if (code == 304 && v == L"LEADER_LINE{" && where == kLeader) {
            where = kLine;
            ml.leaders.back().lines.emplace_back();
        } else if (code == 305) {
            // Ends a leader line; one that never began (a file's damage) ends nothing.
            if (where == kLine) where = kLeader;
        } else if (where == kLine) {
            if (code == 10) ml.leaders.back().lines.back().push_back(pointAt(t, i));
        } else if (where == kLeader) {
            MultiLeader::Leader& l = ml.leaders.back();
            if (code == 10) {
                l.last = pointAt(t, i);
                l.hasLast = true;
            } else if (code == 11 && !vectorAt(t, i).isZeroLength()) {
                l.dogleg = vectorAt(t, i).normal();
            } else if (code == 40) {
                l.doglegLength = num(v);
            } else if (code == 271) {
                l.horizontal = num(v) == 0;
            }
        } else if (where == kContext) {
            switch (code) {
                case 140:
                    ml.arrowSize = num(v);
                    break;
                case 41:
                    ml.textHeight = num(v);
                    break;
                case 290:
                    ml.hasText = num(v) != 0;
                    break;
                case 296:
                    ml.hasBlock = num(v) != 0;
                    break;
                case 304:
                    ml.text += v;
                    break;
                case 11:
                    if (!vectorAt(t, i).isZeroLength()) ml.textNormal = vectorAt(t, i).normal();
                    break;
                case 12:
                    ml.textAt = pointAt(t, i);
                    break;
                case 13:
                    if (!vectorAt(t, i).isZeroLength()) ml.textDirection = vectorAt(t, i).normal();
                    break;
                case 43:
                    ml.textWidth = num(v);
                    break;
                case 45:
                    ml.lineSpacing = num(v);
                    break;
                case 171:
                    ml.attachment = static_cast<int>(num(v));
                    break;
                case 90:
                    ml.textColour = rawColour(v);
                    break;
                case 341:
                    ml.block = v;
                    break;
                case 14:
                    if (!vectorAt(t, i).isZeroLength()) ml.blockNormal = vectorAt(t, i).normal();
                    break;
                case 15:
                    ml.blockAt = pointAt(t, i);
                    break;
                case 16: {
                    const AcGePoint3d s = pointAt(t, i);
                    ml.blockScale = AcGeScale3d(s.x, s.y, s.z);
                    break;
                }
                case 46:
                    ml.blockRotation = num(v);
                    break;
                default:
                    break;
            }
        } else {
            switch (code) {
                case 170:
                    ml.lineType = static_cast<int>(num(v));
                    break;
                case 91:
                    ml.lineColour = rawColour(v);
                    break;
                case 291:
                    ml.dogleg = num(v) != 0;
                    break;
                case 342:
                    ml.arrowBlock = v;
                    break;
                case 330:
                    ml.attributes = true;
                    break;
                default:
                    break;
            }
        }
    }
    return ml;
}

// A multileader's text as paragraph text.
void leaderText(const MultiLeader& ml, AcDbMText& text) {
    text.setLocation(ml.textAt);
    text.setNormal(ml.textNormal);
    text.setDirection(ml.textDirection);
    text.setTextHeight(ml.textHeight);
    if (ml.textWidth > 0) text.setWidth(ml.textWidth);
    text.setAttachment(static_cast<AcDbMText::AttachmentPoint>(std::clamp(ml.attachment, 1, 9)));
    if (ml.lineSpacing > 0) text.setLineSpacingFactor(ml.lineSpacing);
    text.setContents(ml.text.c_str());
}

// A leader line's points: on to the leader's last point and along its dogleg to the content.
std::vector<AcGePoint3d> leaderLine(const MultiLeader& ml, const MultiLeader::Leader& l,
                                    std::vector<AcGePoint3d> line) {
    if (l.hasLast && (!l.horizontal || ml.dogleg)) line.push_back(l.last);
    if (l.hasLast && l.horizontal) line.push_back(l.last + l.dogleg * l.doglegLength);
    return line;
}

void drawMultiLeader(Ctx& c, const AcDbRawEntity* e, const AcGeMatrix3d& m, const Rgb& rgb,
                     const AcCmEntityColor& inherit, AcDbObjectId layer, int depth) {
    const MultiLeader ml = readMultiLeader(e->tags());
    const AcDbObjectId arrow = ml.arrowBlock.empty() ? AcDbObjectId() : blockByHandle(e->database(), ml.arrowBlock);
    const bool noArrow = !arrow.isNull() &&
                         layoutPicture(c, arrow, L"the arrows of MULTILEADER entities whose arrow block is a layout's");
    for (const MultiLeader::Leader& l : ml.leaders) {
        if (ml.lineType == 0) break;
        for (const std::vector<AcGePoint3d>& vertices : l.lines) {
            const std::vector<AcGePoint3d> line = leaderLine(ml, l, vertices);
            if (line.size() < 2) continue;
            cairo_new_path(c.cr);
            for (size_t k = 0; k < line.size(); ++k) {
                const AcGePoint3d p = m * line[k];
                if (k == 0)
                    cairo_move_to(c.cr, p.x, p.y);
                else
                    cairo_line_to(c.cr, p.x, p.y);
            }
            setColour(c, leaderColour(ml.lineColour, rgb));
            strokeDevice(c, c.thinLine);
            // The arrow's tip on the first point, its body along the first segment.
            AcGeVector3d along = line[1] - line[0];
            if (noArrow || along.isZeroLength() || !(ml.arrowSize > 0)) continue;
            along = along.normal();
            if (!arrow.isNull()) {
                const AcGeMatrix3d place =
                    AcGeMatrix3d::translation(line[0] - AcGePoint3d::kOrigin) *
                    AcGeMatrix3d::rotation(std::atan2(along.y, along.x) + M_PI, AcGeVector3d::kZAxis) *
                    AcGeMatrix3d::scaling(ml.arrowSize);
                drawBlock(c, arrow, m * place, inherit, layer, depth);
                continue;
            }
            const AcGeVector3d across = AcGeVector3d(-along.y, along.x, 0) * (ml.arrowSize / 6);
            const AcGePoint3d base = line[0] + along * ml.arrowSize;
            const AcGePoint3d tip = m * line[0], a = m * (base + across), b = m * (base - across);
            cairo_move_to(c.cr, tip.x, tip.y);
            cairo_line_to(c.cr, a.x, a.y);
            cairo_line_to(c.cr, b.x, b.y);
            cairo_close_path(c.cr);
            cairo_fill_preserve(c.cr);
            strokeDevice(c, c.thinLine);
        }
    }
    if (ml.hasText && !ml.text.empty() && ml.textHeight > 0) {
        AcDbMText text;
        leaderText(ml, text);
        setColour(c, leaderColour(ml.textColour, rgb));
        drawParagraph(c, &text, m);
    }
    if (ml.hasBlock) {
        const AcDbObjectId block = blockByHandle(e->database(), ml.block);
        if (block.isNull()) {
            leaveOutPart(c, L"the content of MULTILEADER entities whose block the drawing does not hold");
        } else if (!layoutPicture(c, block, L"the content of MULTILEADER entities whose block is a layout's")) {
            AcDbBlockReference ref(ml.blockAt, block);
            ref.setNormal(ml.blockNormal);
            ref.setRotation(ml.blockRotation);
            ref.setScaleFactors(ml.blockScale);
            drawBlock(c, block, m * ref.blockTransform(), inherit, layer, depth);
        }
        if (ml.attributes) leaveOutPart(c, L"the attributes of MULTILEADER entities' blocks");
    }
}

// An image's frame: its pixels span its u and v vectors, so many of each, from its insertion point. The
// picture itself is not drawn here.
std::array<AcGePoint3d, 4> imageFrame(const AcDbRawEntity* image) {
    const AcDbDxfTags& t = image->tags();
    AcGePoint3d at, size;
    AcGeVector3d u, v;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].first == 10) at = pointAt(t, i);
        if (t[i].first == 11) u = vectorAt(t, i);
        if (t[i].first == 12) v = vectorAt(t, i);
        if (t[i].first == 13) size = pointAt(t, i);
    }
    return {at, at + u * size.x, at + u * size.x + v * size.y, at + v * size.y};
}

void drawImageFrame(Ctx& c, const AcDbRawEntity* image, const AcGeMatrix3d& m, const Rgb& rgb) {
    const std::array<AcGePoint3d, 4> corners = imageFrame(image);
    cairo_new_path(c.cr);
    for (int k = 0; k < 4; ++k) {
        const AcGePoint3d p = m * corners[k];
        if (k == 0)
            cairo_move_to(c.cr, p.x, p.y);
        else
            cairo_line_to(c.cr, p.x, p.y);
    }
    cairo_close_path(c.cr);
    setColour(c, rgb);
    strokeDevice(c, c.thinLine);
    leaveOutPart(c, L"the pictures of IMAGE entities: their frames are drawn");
}

} // namespace

bool drawAnnotation(Ctx& c, AcDbEntity* e, const AcGeMatrix3d& m, const Rgb& rgb, const AcCmEntityColor& inherit,
                    AcDbObjectId layer, int depth) {
    const AcDbRawEntity* raw = AcDbRawEntity::cast(e);
    if (!raw) return false;
    const std::wstring& kind = raw->dxfName();
    if (kind == L"DIMENSION" || kind == L"ARC_DIMENSION" || kind == L"LARGE_RADIAL_DIMENSION") {
        drawDimension(c, raw, m, inherit, layer, depth);
        return true;
    }
    if (kind == L"MULTILEADER" || kind == L"MLEADER") {
        drawMultiLeader(c, raw, m, rgb, inherit, layer, depth);
        return true;
    }
    if (kind == L"IMAGE") {
        drawImageFrame(c, raw, m, rgb);
        return true;
    }
    return false;
}

bool annotationExtents(const AcDbEntity* e, AcDbExtents& ext) {
    const AcDbRawEntity* raw = AcDbRawEntity::cast(e);
    if (!raw) return false;
    const std::wstring& kind = raw->dxfName();
    if (kind == L"IMAGE") {
        for (const AcGePoint3d& p : imageFrame(raw)) ext.addPoint(p);
        return true;
    }
    if (kind != L"MULTILEADER" && kind != L"MLEADER") return false;
    const MultiLeader ml = readMultiLeader(raw->tags());
    for (const MultiLeader::Leader& l : ml.leaders)
        for (const std::vector<AcGePoint3d>& vertices : l.lines)
            for (const AcGePoint3d& p : leaderLine(ml, l, vertices)) ext.addPoint(p);
    AcDbExtents part;
    if (ml.hasText && !ml.text.empty() && ml.textHeight > 0) {
        AcDbMText text;
        leaderText(ml, text);
        if (text.getGeomExtents(part) == Acad::eOk) ext.addExt(part);
    }
    const AcDbObjectId block = ml.hasBlock ? blockByHandle(raw->database(), ml.block) : AcDbObjectId();
    if (!block.isNull() && blockExtents(block, part)) {
        AcDbBlockReference ref(ml.blockAt, block);
        ref.setNormal(ml.blockNormal);
        ref.setRotation(ml.blockRotation);
        ref.setScaleFactors(ml.blockScale);
        part.transformBy(ref.blockTransform());
        ext.addExt(part);
    }
    return true;
}

void leaveOutPart(Ctx& c, const std::wstring& what) {
    if (c.leftOut.insert(what).second) acutPrintf(L"The plot leaves out %s.\n", what.c_str());
}

} // namespace plot::drawing
