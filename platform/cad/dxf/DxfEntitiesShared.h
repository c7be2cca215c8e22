#pragma once
// What the files that make records into database objects and back share: a record's body and the tags
// written, tags kept as read, extended data, colours and record heads.
#include "cad/dxf/DxfDatabase.h"
#include "cad/dxf/DxfEntities.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class AcDbHatch;
class AcDbTable;

namespace dxf {

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// A number from the file as an enumeration: values outside first..last (files written by other
// programs, damage) take the fallback, so that no value the type cannot hold gets in.
template <class E>
E enumIn(long long v, E first, E last, E fallback) {
    return v >= static_cast<long long>(first) && v <= static_cast<long long>(last) ? static_cast<E>(v) : fallback;
}

struct Body {
    const Tags& t;
    std::size_t b, e;
    const Tag* first(int code) const {
        for (std::size_t i = b; i < e; ++i)
            if (t[i].code == code) return &t[i];
        return nullptr;
    }
    bool has(int code) const { return first(code) != nullptr; }
    double num(int code, double def = 0) const {
        const Tag* x = first(code);
        return x ? parseDouble(x->value, def) : def;
    }
    long long integer(int code, long long def = 0) const {
        const Tag* x = first(code);
        return x ? parseInt(x->value, def) : def;
    }
    std::wstring str(int code, const wchar_t* def = L"") const {
        const Tag* x = first(code);
        return x ? wide(x->value) : std::wstring(def);
    }
    std::string raw(int code) const {
        const Tag* x = first(code);
        return x ? x->value.str() : std::string();
    }
    AcGePoint3d point(int code, AcGePoint3d def = AcGePoint3d()) const {
        return {num(code, def.x), num(code + 10, def.y), num(code + 20, def.z)};
    }
    AcGeVector3d vec(int code, AcGeVector3d def) const {
        return {num(code, def.x), num(code + 10, def.y), num(code + 20, def.z)};
    }
};

struct Out {
    Tags& t;
    void marker(const char* m) { t.push_back(Tag{100, m}); }
    void s(int c, const std::wstring& v) { t.push_back(Tag{c, narrow(v)}); }
    void s8(int c, std::string v) { t.push_back(Tag{c, std::move(v)}); }
    void d(int c, double v) { t.push_back(Tag{c, formatDouble(v)}); }
    void i(int c, long long v) { t.push_back(Tag{c, std::to_string(v)}); }
    void p(int c, const AcGePoint3d& v) {
        d(c, v.x);
        d(c + 10, v.y);
        d(c + 20, v.z);
    }
    void p2(int c, const AcGePoint2d& v) {
        d(c, v.x);
        d(c + 10, v.y);
    }
    void v(int c, const AcGeVector3d& v) {
        d(c, v.x);
        d(c + 10, v.y);
        d(c + 20, v.z);
    }
    void normal(const AcGeVector3d& n) {
        if (!(n.x == 0 && n.y == 0 && n.z == 1)) v(210, n);
    }
    void extras(const AcDbDxfTags& tags) {
        for (const auto& [code, value] : tags) s(code, value);
    }
};

bool contains(std::initializer_list<int> list, int code);

// Whether tag i of t[.., end) can be kept as read: its value fits its code and a point has its y.
// What does not fit (damage, a file cut short) is left out, so that it is never written again.
bool fits(const Tags& t, std::size_t i, std::size_t end);

// Tags of the body the reader did not use, without subclass markers.
void leftovers(const Body& body, std::initializer_list<int> known, AcDbDxfTags& out);

// A type the model interprets is written from the model; the tags it does not interpret travel in the
// object's extra tags:
//   (-1) tags of the common entity part, (-2) tags of the body,
//   (-3, fingerprint) the body exactly as read, written again while the model still gives that
//   fingerprint (complex types, so that an untouched hatch or table is not rewritten).

// The extra tags of one kind (-1 common, -2 body) an object carries.
AcDbDxfTags extrasOf(const AcDbObject* obj, int kind);

// The body as read, when the model still describes it as it did then.
bool verbatimBody(const AcDbObject* obj, const Tags& canonical, Tags& out);

// Whether a type other programs know, kept as read, holds what they need of it (other types: always).
bool wholeAsDescribed(std::string_view type, const Body& body);
// Keeps the body as read, when it is whole, under the fingerprint of the body the model writes.
void keepVerbatim(AcDbObject* obj, const Body& body, const Tags& canonical);
void setExtras(AcDbObject* obj, AcDbDxfTags common, AcDbDxfTags body);

// Extended data (xdata: 1000 codes) and the values of an xrecord, both ways.
AcDbRbValue rbFromTags(const Tags& t, std::size_t& i, bool xdata);
void rbToTags(const AcDbRbValue& v, Out& o, bool xdata, const WriteContext* ctx);

// Extension dictionary and reactors need ids, so they are set by the reader that has the database.
void applyLinks(ReadContext& ctx, AcDbObject* obj, const Record& rec);

void readColor(const Body& b, AcCmColor& c, bool& any);
void writeColor(Out& o, const AcCmColor& c, bool layer, bool off);
// A record's type, handle, extension dictionary, reactors and owner; then, at its end, its extended data.
void writeHead(WriteContext& ctx, Out& o, const AcDbObject* obj, const char* type, bool dimstyle = false);
void writeXData(Out& o, const AcDbObject* obj);
std::wstring styleName(WriteContext& ctx, AcDbObjectId id); // a text style's, "Standard" for none

// Hatches and tables (DxfEntitiesHatchTable.cpp). A hatch whose edges the model cannot hold clears whole.
AcDbHatch* readHatch(ReadContext& ctx, const Body& b, bool& whole);
AcDbTable* readTable(ReadContext& ctx, const Body& b);
void writeHatchBody(WriteContext& ctx, Out& o, const AcDbHatch* h);
void writeTableBody(WriteContext& ctx, Out& o, const AcDbTable* t);

} // namespace dxf
