// Objects, both ways: dictionaries, xrecords, draw-order tables, layouts, plot settings and table styles.
#include "cad/dxf/DxfEntitiesShared.h"

namespace dxf {

// ---- Objects.

namespace {

void readPlotPart(AcDbPlotSettings* l, const Body& ps) {
    l->setPlotSettingsName(ps.str(1).c_str());
    l->setPlotCfgName(ps.str(2, L"none_device").c_str());
    l->setCanonicalMediaName(ps.str(4).c_str());
    l->setPlotViewName(ps.str(6).c_str());
    l->setPlotPaperMargins(ps.num(40), ps.num(41), ps.num(42), ps.num(43));
    l->setPlotPaperSize(ps.num(44), ps.num(45));
    l->setPlotOrigin(ps.num(46), ps.num(47));
    l->setPlotWindowArea(ps.num(48), ps.num(49), ps.num(140), ps.num(141));
    l->setCustomPrintScale(ps.num(142, 1), ps.num(143, 1));
    l->setPlotLayoutFlags(static_cast<int>(ps.integer(70, 688)));
    l->setPlotPaperUnits(enumIn(ps.integer(72, 1), AcDbPlotSettings::kInches, AcDbPlotSettings::kPixels,
                                AcDbPlotSettings::kMillimeters));
    l->setPlotRotation(enumIn(ps.integer(73), AcDbPlotSettings::k0degrees, AcDbPlotSettings::k270degrees,
                              AcDbPlotSettings::k0degrees));
    l->setPlotType(
        enumIn(ps.integer(74, 5), AcDbPlotSettings::kDisplay, AcDbPlotSettings::kLayout, AcDbPlotSettings::kLayout));
    l->setCurrentStyleSheet(ps.str(7).c_str());
    l->setStdScaleType(enumIn(ps.integer(75), AcDbPlotSettings::kScaleToFit, AcDbPlotSettings::k1and1_2in_1ft,
                              AcDbPlotSettings::kScaleToFit));
    l->setShadePlot(enumIn(ps.integer(76), AcDbPlotSettings::kAsDisplayed, AcDbPlotSettings::kRendered,
                           AcDbPlotSettings::kAsDisplayed));
    l->setStdScale(ps.num(147, 1));
}

void readLayout(ReadContext& ctx, AcDbLayout* l, const Record& rec) {
    std::size_t s = rec.bodyBegin;
    std::size_t layoutAt = rec.bodyEnd;
    for (std::size_t i = rec.bodyBegin; i < rec.bodyEnd; ++i)
        if (rec.tags[i].code == 100 && rec.tags[i].value == "AcDbLayout") layoutAt = i;
    Body ps{rec.tags, s, layoutAt};
    Body lo{rec.tags, layoutAt, rec.bodyEnd};
    readPlotPart(l, ps);
    l->setLayoutName(lo.str(1).c_str());
    l->setLayoutFlags(static_cast<int>(lo.integer(70, 1)));
    l->setTabOrder(static_cast<int>(lo.integer(71)));
    l->setLimits(lo.point(10).convert2d(), AcGePoint2d(lo.num(11, 420), lo.num(21, 297)));
    l->setInsertionBase(lo.point(12));
    l->setExtents(lo.point(14), lo.point(15));
    l->setElevation(lo.num(146));
    l->setUcs(lo.point(13), lo.vec(16, {1, 0, 0}), lo.vec(17, {0, 1, 0}));
    l->setUcsOrthographicType(static_cast<int>(lo.integer(76)));
    if (lo.has(330)) l->setBlockTableRecordId(ctx.idOf(lo.raw(330)));
    if (lo.has(331)) l->setLastActiveViewportId(ctx.idOf(lo.raw(331)));
}

void writePlotPart(Out& o, const AcDbPlotSettings* l) {
    o.marker("AcDbPlotSettings");
    const ACHAR* s = nullptr;
    l->getPlotSettingsName(s);
    o.s(1, s);
    l->getPlotCfgName(s);
    o.s(2, s);
    l->getCanonicalMediaName(s);
    o.s(4, s);
    l->getPlotViewName(s);
    o.s(6, s);
    double a, b, c, d;
    l->getPlotPaperMargins(a, b, c, d);
    o.d(40, a);
    o.d(41, b);
    o.d(42, c);
    o.d(43, d);
    l->getPlotPaperSize(a, b);
    o.d(44, a);
    o.d(45, b);
    l->getPlotOrigin(a, b);
    o.d(46, a);
    o.d(47, b);
    l->getPlotWindowArea(a, b, c, d);
    o.d(48, a);
    o.d(49, b);
    o.d(140, c);
    o.d(141, d);
    l->getCustomPrintScale(a, b);
    o.d(142, a);
    o.d(143, b);
    o.i(70, l->plotLayoutFlags());
    o.i(72, l->plotPaperUnits());
    o.i(73, l->plotRotation());
    o.i(74, l->plotType());
    l->getCurrentStyleSheet(s);
    o.s(7, s);
    o.i(75, l->stdScaleType());
    o.i(76, l->shadePlot());
    o.i(77, 2);
    o.i(78, 300);
    o.d(147, l->stdScale());
    o.d(148, 0);
    o.d(149, 0);
}

Tags canonicalObject(WriteContext& ctx, const AcDbObject* obj) {
    Tags t;
    Out o{t};
    if (auto* l = AcDbLayout::cast(obj)) {
        writePlotPart(o, l);
        o.marker("AcDbLayout");
        o.s(1, l->getLayoutName());
        o.i(70, l->layoutFlags());
        o.i(71, l->getTabOrder());
        AcGePoint2d mn, mx;
        l->getLimits(mn, mx);
        o.p2(10, mn);
        o.p2(11, mx);
        o.p(12, l->insertionBase());
        AcGePoint3d emn, emx;
        l->getExtents(emn, emx);
        o.p(14, emn);
        o.p(15, emx);
        o.d(146, l->elevation());
        AcGePoint3d org;
        AcGeVector3d ux, uy;
        l->getUcs(org, ux, uy);
        o.p(13, org);
        o.v(16, ux);
        o.v(17, uy);
        o.i(76, l->ucsOrthographicType());
        o.s8(330, ctx.handle(l->getBlockTableRecordId()));
        if (!l->lastActiveViewportId().isNull()) o.s8(331, ctx.handle(l->lastActiveViewportId()));
    } else if (auto* ps = AcDbPlotSettings::cast(obj)) {
        writePlotPart(o, ps);
    } else if (auto* ts = AcDbTableStyle::cast(obj)) {
        o.marker("AcDbTableStyle");
        o.i(280, 0);
        o.s(3, ts->description());
        o.i(70, ts->flowDirection());
        o.i(71, 0);
        o.d(40, ts->horzCellMargin());
        o.d(41, ts->vertCellMargin());
        o.i(280, ts->isTitleSuppressed() ? 1 : 0);
        o.i(281, ts->isHeaderSuppressed() ? 1 : 0);
        for (AcDb::RowType r : {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow}) {
            o.s(7, styleName(ctx, ts->textStyle(r)));
            o.d(140, ts->textHeight(r));
            o.i(170, ts->alignment(r));
            o.i(62, 0);
            o.i(63, 7);
            o.i(283, 0);
            for (int b = 0; b < 6; ++b) {
                o.i(274 + b, -2);
                o.i(284 + b, 1);
                o.i(64 + b, 0);
            }
        }
    }
    return t;
}

} // namespace

AcDbObject* readObject(ReadContext& ctx, const Record& rec) {
    std::string_view type = recordType(rec.tags);
    Body b{rec.tags, rec.bodyBegin, rec.bodyEnd};
    AcDbObject* obj = nullptr;
    AcDbDxfTags left;
    bool verbatim = false;
    if (type == "DICTIONARY") {
        auto* d = new AcDbDictionary;
        d->setTreatElementsAsHard(b.integer(280) != 0);
        d->setMergeStyle(static_cast<int>(b.integer(281, 1)));
        for (std::size_t i = b.b; i + 1 < b.e; ++i)
            if (b.t[i].code == 3 && (b.t[i + 1].code == 350 || b.t[i + 1].code == 360)) {
                d->setAtId(wide(b.t[i].value).c_str(), ctx.idOf(b.t[i + 1].value));
                ++i;
            }
        for (std::size_t i = b.b; i < b.e; ++i) {
            int c = b.t[i].code;
            if (c == 100 || c == 280 || c == 281 || ((c == 350 || c == 360) && i > b.b && b.t[i - 1].code == 3) ||
                (c == 3 && i + 1 < b.e && (b.t[i + 1].code == 350 || b.t[i + 1].code == 360)))
                continue;
            if (fits(b.t, i, b.e)) left.emplace_back(c, wide(b.t[i].value));
        }
        obj = d;
    } else if (type == "XRECORD") {
        auto* x = new AcDbXrecord;
        std::size_t i = b.b;
        while (i < b.e && b.t[i].code == 100) ++i;
        if (i < b.e && b.t[i].code == 280) {
            x->setMergeStyle(static_cast<int>(parseInt(b.t[i].value, 1)));
            ++i;
        }
        AcDbRbValues values;
        for (; i < b.e; ++i) {
            AcDbRbValue v = rbFromTags(b.t, i, false);
            if (valueKind(v.code) == ValueKind::Handle) v.id = ctx.idOf(parseHandle(narrow(v.str)));
            values.push_back(std::move(v));
        }
        x->setValues(std::move(values));
        obj = x;
    } else if (type == "SORTENTSTABLE") {
        auto* s = new AcDbSortentsTable;
        std::vector<std::pair<AcDbObjectId, AcDbHandle>> entries;
        for (std::size_t i = b.b; i < b.e; ++i) {
            if (b.t[i].code == 330)
                s->setBlockId(ctx.idOf(b.t[i].value));
            else if (b.t[i].code == 331 && i + 1 < b.e && b.t[i + 1].code == 5) {
                entries.emplace_back(ctx.idOf(b.t[i].value), AcDbHandle(parseHandle(b.t[i + 1].value)));
                ++i;
            }
        }
        s->setEntries(std::move(entries));
        obj = s;
    } else if (type == "LAYOUT") {
        auto* l = new AcDbLayout;
        readLayout(ctx, l, rec);
        obj = l;
        verbatim = true;
    } else if (type == "PLOTSETTINGS") {
        auto* ps = new AcDbPlotSettings;
        readPlotPart(ps, b);
        obj = ps;
        verbatim = true;
    } else if (type == "TABLESTYLE") {
        auto* ts = new AcDbTableStyle;
        ts->setDescription(b.str(3).c_str());
        ts->setFlowDirection(enumIn(b.integer(70), AcDb::kTtoB, AcDb::kBtoT, AcDb::kTtoB));
        ts->setHorzCellMargin(b.num(40, 1.5));
        ts->setVertCellMargin(b.num(41, 1.5));
        // Each row type's text height and alignment, in the order they are written: data, title, header.
        const AcDb::RowType rowTypes[] = {AcDb::kDataRow, AcDb::kTitleRow, AcDb::kHeaderRow};
        std::size_t heights = 0, alignments = 0;
        for (std::size_t k = b.b; k < b.e; ++k) {
            const Tag& t = b.t[k];
            if (t.code == 140 && heights < 3)
                ts->setTextHeight(parseDouble(t.value, 0), rowTypes[heights++]);
            else if (t.code == 170 && alignments < 3)
                ts->setAlignment(enumIn(parseInt(t.value), AcDb::kTopLeft, AcDb::kBottomRight, AcDb::kTopCenter),
                                 rowTypes[alignments++]);
        }
        obj = ts;
        verbatim = true;
    } else {
        if (!tagsWellFormed(rec.tags, 1, rec.bodyEnd) || !wholeAsDescribed(type, b)) return nullptr;
        AcDbDxfTags body;
        for (std::size_t i = b.b; i < b.e; ++i) body.emplace_back(b.t[i].code, wide(b.t[i].value));
        obj = new AcDbRawObject(wide(type), std::move(body));
    }
    applyLinks(ctx, obj, rec);
    setExtras(obj, {}, std::move(left));
    if (verbatim) {
        WriteContext w{ctx.db};
        keepVerbatim(obj, b, canonicalObject(w, obj));
    }
    return obj;
}

Tags writeObject(WriteContext& ctx, const AcDbObject* obj) {
    Tags t;
    Out o{t};
    if (auto* raw = AcDbRawObject::cast(obj)) {
        writeHead(ctx, o, obj, narrow(raw->dxfName()).c_str());
        for (const auto& [code, value] : raw->tags()) o.s(code, value);
    } else if (auto* d = AcDbDictionary::cast(obj)) {
        writeHead(ctx, o, obj, "DICTIONARY");
        o.marker("AcDbDictionary");
        if (d->isTreatElementsAsHard()) o.i(280, 1);
        o.i(281, d->mergeStyle());
        for (const auto& [name, id] : d->entries()) {
            AcDbObject* target = ctx.db->peek(id);
            // A dictionary holds objects: an entry naming an entity (a damaged file) is left out.
            if (!target || target->isErased() || AcDbEntity::cast(target)) continue;
            o.s(3, name);
            o.s8(d->isTreatElementsAsHard() ? 360 : 350, ctx.handle(id));
        }
    } else if (auto* x = AcDbXrecord::cast(obj)) {
        writeHead(ctx, o, obj, "XRECORD");
        o.marker("AcDbXrecord");
        o.i(280, x->mergeStyle());
        for (const AcDbRbValue& v : x->values()) rbToTags(v, o, false, &ctx);
    } else if (auto* s = AcDbSortentsTable::cast(obj)) {
        writeHead(ctx, o, obj, "SORTENTSTABLE");
        o.marker("AcDbSortentsTable");
        o.s8(330, ctx.handle(s->blockId()));
        for (const auto& [id, h] : s->entries()) {
            AcDbObject* target = ctx.db->peek(id);
            if (!target || target->isErased()) continue;
            o.s8(331, ctx.handle(id));
            o.s8(5, handleText(h.value()));
        }
    } else if (AcDbPlotSettings::cast(obj) || AcDbTableStyle::cast(obj)) {
        writeHead(ctx, o, obj,
                  AcDbLayout::cast(obj)       ? "LAYOUT"
                  : AcDbTableStyle::cast(obj) ? "TABLESTYLE"
                                              : "PLOTSETTINGS");
        Tags canonical = canonicalObject(ctx, obj);
        if (!verbatimBody(obj, canonical, t)) t.insert(t.end(), canonical.begin(), canonical.end());
    } else {
        return {};
    }
    o.extras(extrasOf(obj, -2));
    writeXData(o, obj);
    return t;
}

} // namespace dxf
