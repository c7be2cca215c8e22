// Blocks, both ways: the BLOCK and ENDBLK records that frame each block's entities.
#include "cad/dxf/DxfEntitiesShared.h"

namespace dxf {

// ---- Blocks.

void readBlockBegin(ReadContext& ctx, AcDbBlockTableRecord* br, const Record& rec) {
    Body b{rec.tags, rec.bodyBegin, rec.bodyEnd};
    Body common{rec.tags, rec.commonBegin, rec.commonEnd};
    br->setBlockBeginHandle(AcDbHandle(rec.handle));
    br->setDxfFlags(static_cast<int>(b.integer(70)));
    br->setOrigin(b.point(10));
    br->setPathName(b.str(1).c_str());
    br->setComments(b.str(4).c_str());
    AcDbDxfTags& x = br->blockBeginExtraTags();
    x.clear();
    x.emplace_back(-1, L"");
    leftovers(common, {}, x);
    x.emplace_back(-2, L"");
    leftovers(b, {2, 3, 70, 10, 20, 30, 1, 4}, x);
    (void)ctx;
}

void keepEndTags(AcDbBlockTableRecord* br, const Record& rec) {
    AcDbDxfTags& x = br->blockEndExtraTags();
    x.clear();
    Body common{rec.tags, rec.commonBegin, rec.commonEnd};
    leftovers(common, {}, x);
}

namespace {
AcDbDxfTags section(const AcDbDxfTags& x, int kind) {
    AcDbDxfTags out;
    int current = 0;
    for (const auto& tv : x) {
        if (tv.first < 0)
            current = tv.first;
        else if (current == kind)
            out.push_back(tv);
    }
    return out;
}
} // namespace

void writeBlock(WriteContext&, const AcDbBlockTableRecord* br, Block& out) {
    auto* mbr = const_cast<AcDbBlockTableRecord*>(br);
    std::string name = narrow(br->getName());
    std::string owner = handleText(br->handle().value());
    bool paper = upper(name).rfind("*PAPER_SPACE", 0) == 0;
    // BLOCK and ENDBLK open alike: type, handle, owner, then the entity data the file had, on
    // layer 0 unless it names one.
    auto head = [&](Out& w, const char* type, AcDbHandle handle, const AcDbDxfTags& extra) {
        w.s8(0, type);
        w.s8(5, handle.isNull() ? "0" : handleText(handle.value()));
        w.s8(330, owner);
        w.marker("AcDbEntity");
        bool hasLayer = false;
        for (const auto& tv : extra) hasLayer = hasLayer || tv.first == 8;
        if (paper && extra.empty()) w.i(67, 1);
        if (!hasLayer) w.s8(8, "0");
        w.extras(extra);
    };
    Out o{out.begin};
    head(o, "BLOCK", br->blockBeginHandle(), section(mbr->blockBeginExtraTags(), -1));
    o.marker("AcDbBlockBegin");
    o.s8(2, name);
    o.i(70, br->dxfFlags());
    o.p(10, br->origin());
    o.s8(3, name);
    o.s(1, br->pathName());
    if (br->comments() && *br->comments()) o.s(4, br->comments());
    o.extras(section(mbr->blockBeginExtraTags(), -2));
    Out e{out.end};
    head(e, "ENDBLK", br->blockEndHandle(), mbr->blockEndExtraTags());
    e.marker("AcDbBlockEnd");
}

} // namespace dxf
