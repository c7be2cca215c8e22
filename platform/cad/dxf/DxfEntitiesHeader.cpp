// Header variables, both ways: those the model holds, the current layer, linetype and style set at the end.
#include "cad/dxf/DxfEntitiesShared.h"

#include <algorithm>
#include <unordered_map>

namespace dxf {

// ---- Header.

bool readHeaderVar(ReadContext& ctx, const std::string& name, const Tags& values) {
    Body b{values, 0, values.size()};
    AcDbDatabase* db = ctx.db;
    if (name == "$INSUNITS")
        db->setInsunits(
            enumIn(b.integer(70), AcDb::kUnitsUndefined, static_cast<AcDb::UnitsValue>(24), AcDb::kUnitsUndefined));
    else if (name == "$LUNITS")
        db->setLunits(static_cast<Adesk::Int16>(b.integer(70, 2)));
    else if (name == "$LUPREC")
        db->setLuprec(static_cast<Adesk::Int16>(b.integer(70, 4)));
    else if (name == "$MEASUREMENT")
        db->setMeasurement(static_cast<int>(b.integer(70)));
    else if (name == "$CLAYER")
        ctx.pendingClayer = b.str(8);
    else if (name == "$CELTYPE")
        ctx.pendingCeltype = b.str(6);
    else if (name == "$TEXTSTYLE")
        ctx.pendingTextstyle = b.str(7);
    else if (name == "$CECOLOR") {
        AcCmColor c;
        c.setColorIndex(static_cast<Adesk::UInt16>(b.integer(62, 256)));
        db->setCecolor(c);
    } else if (name == "$CELWEIGHT")
        db->setCelweight(static_cast<AcDb::LineWeight>(b.integer(370, -1)));
    else if (name == "$TEXTSIZE")
        db->setTextsize(b.num(40, 2.5));
    else if (name == "$SORTENTS")
        db->setSortents(static_cast<Adesk::UInt8>(b.integer(280, 127)));
    else if (name == "$TILEMODE")
        db->setTilemode(b.integer(70, 1) != 0);
    else if (name == "$EXTMIN")
        db->setExtents(b.point(10), db->extmax());
    else if (name == "$EXTMAX")
        db->setExtents(db->extmin(), b.point(10));
    else if (name == "$LIMMIN")
        db->setLimits(b.point(10).convert2d(), db->limmax());
    else if (name == "$LIMMAX")
        db->setLimits(db->limmin(), b.point(10).convert2d());
    else if (name == "$UCSORG")
        db->setUcs(b.point(10), db->ucsxdir(), db->ucsydir());
    else if (name == "$UCSXDIR") {
        // The file's other axis comes apart from this one; the axis held until then may lie along
        // the new one (a quarter turn), so any axis across it stands in.
        const AcGeVector3d x = b.vec(10, {1, 0, 0});
        AcGeVector3d y = db->ucsydir();
        if (x.isParallelTo(y)) y = AcGeVector3d::kZAxis.crossProduct(x);
        db->setUcs(db->ucsorg(), x, y);
    } else if (name == "$UCSYDIR") {
        const AcGeVector3d y = b.vec(10, {0, 1, 0});
        AcGeVector3d x = db->ucsxdir();
        if (x.isParallelTo(y)) x = y.crossProduct(AcGeVector3d::kZAxis);
        db->setUcs(db->ucsorg(), x, y);
    } else
        return false;
    return true;
}

void ReadContext::finish() {
    if (!pendingClayer.empty() && !db->layerId(pendingClayer).isNull()) db->setClayer(db->layerId(pendingClayer));
    if (!pendingCeltype.empty() && !db->linetypeId(pendingCeltype).isNull())
        db->setCeltype(db->linetypeId(pendingCeltype));
    if (!pendingTextstyle.empty() && !db->textStyleId(pendingTextstyle).isNull())
        db->setTextstyle(db->textStyleId(pendingTextstyle));
}

namespace {

// The ACDSDATA section kept as read, with a record for each solid copied in the session made from that
// of the solid read (its handle changed).
Section modelerSection(AcDbDatabase* db, const AcDbDxfTags& kept) {
    Section section{"ACDSDATA", {}};
    for (const auto& [code, value] : kept) section.tags.push_back(Tag{code, narrow(value)});
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> copies = modelerGeometryCopies(db);
    if (copies.empty()) return section;
    Tags& t = section.tags;
    std::unordered_map<std::uint64_t, std::pair<std::size_t, std::size_t>> records; // by handle: [from, to)
    for (std::size_t i = 0, end = 0; i < t.size(); i = end) {
        end = i + 1;
        while (end < t.size() && t[end].code != 0) ++end;
        std::uint64_t handle = 0;
        bool geometry = false;
        for (std::size_t k = i; k < end; ++k) {
            if (t[k].code == 320) handle = parseHandle(t[k].value);
            if (t[k].code == 2 && t[k].value.view() == "ASM_Data") geometry = true;
        }
        if (geometry && handle) records[handle] = {i, end};
    }
    Tags added;
    for (const auto& [copy, original] : copies) {
        auto it = records.find(original);
        if (it == records.end()) continue;
        for (std::size_t k = it->second.first; k < it->second.second; ++k) {
            added.push_back(t[k]);
            if (t[k].code == 320) added.back().value = handleText(copy);
        }
    }
    t.insert(t.end(), added.begin(), added.end());
    return section;
}

} // namespace

void writeHeader(WriteContext& ctx, Document& doc) {
    AcDbDatabase* db = ctx.db;
    auto var = [&](const char* name, Tags t) { doc.header.emplace_back(name, std::move(t)); };
    auto pt = [](int code, const AcGePoint3d& p) {
        return Tags{{code, formatDouble(p.x)}, {code + 10, formatDouble(p.y)}, {code + 20, formatDouble(p.z)}};
    };
    // A drawing keeping modeler geometry the R2010 text cannot hold keeps the release it was read in.
    const auto& extra = db->headerExtra();
    const bool keepsRelease =
        std::any_of(extra.begin(), extra.end(), [](const auto& x) { return x.first == L"*ACDSDATA"; });
    const std::string release = narrow(db->originalFileVersion());
    var("$ACADVER", {{1, keepsRelease && release > "AC1024" ? release : "AC1024"}});
    // The code page a drawing read names is kept with the variables kept as read; a new drawing's is 1252.
    if (std::none_of(extra.begin(), extra.end(), [](const auto& x) { return x.first == L"$DWGCODEPAGE"; }))
        var("$DWGCODEPAGE", {{3, "ANSI_1252"}});
    var("$INSUNITS", {{70, std::to_string(static_cast<int>(db->insunits()))}});
    var("$LUNITS", {{70, std::to_string(db->lunits())}});
    var("$LUPREC", {{70, std::to_string(db->luprec())}});
    var("$MEASUREMENT", {{70, std::to_string(db->measurement())}});
    std::string clayer = ctx.nameOf(db->clayer());
    var("$CLAYER", {{8, clayer.empty() ? "0" : clayer}});
    std::string celtype = ctx.nameOf(db->celtype());
    var("$CELTYPE", {{6, celtype.empty() ? "ByLayer" : celtype}});
    var("$CECOLOR", {{62, std::to_string(db->cecolor().isByLayer() ? 256 : db->cecolor().colorIndex())}});
    var("$CELWEIGHT", {{370, std::to_string(static_cast<int>(db->celweight()))}});
    std::string style = ctx.nameOf(db->textstyle());
    var("$TEXTSTYLE", {{7, style.empty() ? "Standard" : style}});
    var("$TEXTSIZE", {{40, formatDouble(db->textsize())}});
    var("$SORTENTS", {{280, std::to_string(db->sortents())}});
    var("$TILEMODE", {{70, db->tilemode() ? "1" : "0"}});
    if (db->extmin().x <= db->extmax().x) {
        var("$EXTMIN", pt(10, db->extmin()));
        var("$EXTMAX", pt(10, db->extmax()));
    }
    var("$LIMMIN", {{10, formatDouble(db->limmin().x)}, {20, formatDouble(db->limmin().y)}});
    var("$LIMMAX", {{10, formatDouble(db->limmax().x)}, {20, formatDouble(db->limmax().y)}});
    var("$UCSORG", pt(10, db->ucsorg()));
    auto v3 = [](const AcGeVector3d& v) { return AcGePoint3d(v.x, v.y, v.z); };
    var("$UCSXDIR", pt(10, v3(db->ucsxdir())));
    var("$UCSYDIR", pt(10, v3(db->ucsydir())));
    for (const auto& [name, tags] : db->headerExtra()) {
        Tags t;
        for (const auto& [code, value] : tags) t.push_back(Tag{code, narrow(value)});
        if (name == L"*CLASS") {
            t.insert(t.begin(), Tag{0, "CLASS"});
            doc.classes.push_back(std::move(t));
        } else if (name == L"*ACDSDATA") {
            doc.other.push_back(modelerSection(db, tags));
        } else {
            doc.header.emplace_back(narrow(name), std::move(t));
        }
    }
}

} // namespace dxf
