#include "cad/editor/EdVariables.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "cad/app/HostApplicationServices.h"
#include "cad/plot/PlotEngine.h"
#include "cad/editor/EdPrintf.h"

#include <cstdarg>
#include <cwctype>
#include <map>
#include <string>

namespace {

std::wstring upper(const ACHAR* s) {
    std::wstring r = s ? s : L"";
    for (wchar_t& c : r) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return r;
}

// The host's own settings.
std::map<std::wstring, short>& hostShorts() {
    static std::map<std::wstring, short> v = {{L"FILEDIA", 1}, {L"CMDDIA", 1}, {L"CMDECHO", 1}, {L"PICKFIRST", 1}};
    return v;
}

AcColorSettings g_colors = {0x000000, 0xFFFFFF, 0xFFFFFF, 0x212121, 0xFFFFFF, 0xFFFFFF, 0xFF9E73,
                            0xFFD7BD, 0x6E8A9E, 0xD8E3E8, 0x4A5A6B, 0x95A6B3, 0xFFFFFF, 0x000000};

AcDbDatabase* currentDb() {
    AcApDocument* d = acDocManager->curDocument();
    return d ? d->database() : nullptr;
}

void setString(resbuf* r, const std::wstring& s) {
    r->restype = RTSTR;
    acutNewString(s.c_str(), r->resval.rstring);
}

void setShort(resbuf* r, int v) {
    r->restype = RTSHORT;
    r->resval.rint = short(v);
}

} // namespace

int acedGetVar(const ACHAR* name, resbuf* result) {
    if (!name || !result) return RTERROR;
    result->rbnext = nullptr;
    std::wstring n = upper(name);
    if (auto it = hostShorts().find(n); it != hostShorts().end()) {
        setShort(result, it->second);
        return RTNORM;
    }
    if (n == L"PRODUCT") {
        setString(result, acdbHostApplicationServices()->product());
        return RTNORM;
    }
    if (n == L"ACADVER") {
        setString(result, L"20.0s (LMS Tech)");
        return RTNORM;
    }
    AcApDocument* doc = acDocManager->curDocument();
    AcDbDatabase* db = currentDb();
    if (!db) return RTERROR;
    if (n == L"SORTENTS")
        setShort(result, db->sortents());
    else if (n == L"LUNITS")
        setShort(result, db->lunits());
    else if (n == L"LUPREC")
        setShort(result, db->luprec());
    else if (n == L"INSUNITS")
        setShort(result, int(db->insunits()));
    else if (n == L"MEASUREMENT")
        setShort(result, db->measurement());
    else if (n == L"TILEMODE")
        setShort(result, db->tilemode() ? 1 : 0);
    else if (n == L"TEXTSIZE") {
        result->restype = RTREAL;
        result->resval.rreal = db->textsize();
    } else if (n == L"CLAYER") {
        AcDbLayerTableRecord* l = nullptr;
        std::wstring layer = L"0";
        if (acdbOpenObject(l, db->clayer(), AcDb::kForRead) == Acad::eOk) {
            layer = l->getName();
            l->close();
        }
        setString(result, layer);
    } else if (n == L"CTAB") {
        setString(result, acdbHostApplicationServices()->layoutManager()->findActiveLayout(true, db));
    } else if (n == L"DWGNAME" || n == L"DWGPREFIX") {
        std::wstring f = doc->fileName();
        size_t cut = f.find_last_of(L"\\/");
        std::wstring prefix = cut == std::wstring::npos ? L"" : f.substr(0, cut + 1);
        setString(result, n == L"DWGNAME" ? std::wstring(doc->docTitle()) : prefix);
    } else {
        return RTERROR;
    }
    return RTNORM;
}

int acedSetVar(const ACHAR* name, const resbuf* value) {
    if (!name || !value) return RTERROR;
    std::wstring n = upper(name);
    bool isShort = value->restype == RTSHORT;
    if (auto it = hostShorts().find(n); it != hostShorts().end()) {
        if (!isShort) return RTERROR;
        it->second = value->resval.rint;
        return RTNORM;
    }
    if (n == L"PRODUCT" || n == L"ACADVER" || n == L"DWGNAME" || n == L"DWGPREFIX") return RTREJ;
    AcDbDatabase* db = currentDb();
    if (!db) return RTERROR;
    Acad::ErrorStatus es;
    if (n == L"SORTENTS" && isShort)
        es = db->setSortents(Adesk::UInt8(value->resval.rint));
    else if (n == L"LUNITS" && isShort)
        es = db->setLunits(value->resval.rint);
    else if (n == L"LUPREC" && isShort)
        es = db->setLuprec(value->resval.rint);
    else if (n == L"INSUNITS" && isShort)
        es = db->setInsunits(AcDb::UnitsValue(value->resval.rint));
    else if (n == L"MEASUREMENT" && isShort)
        es = db->setMeasurement(value->resval.rint);
    else if (n == L"TILEMODE" && isShort)
        es = db->setTilemode(value->resval.rint != 0);
    else if (n == L"TEXTSIZE" && value->restype == RTREAL)
        es = db->setTextsize(value->resval.rreal);
    else if (n == L"CLAYER" && value->restype == RTSTR && value->resval.rstring) {
        AcDbObjectId id = db->layerId(value->resval.rstring);
        if (id.isNull()) return RTERROR;
        es = db->setClayer(id);
    } else if (n == L"CTAB" && value->restype == RTSTR && value->resval.rstring) {
        es = acdbHostApplicationServices()->layoutManager()->setCurrentLayout(value->resval.rstring, db);
    } else {
        return RTERROR;
    }
    return es == Acad::eOk ? RTNORM : RTERROR;
}

int acedCmd(const resbuf* args) {
    if (!args || args->restype == RTNONE) return RTNORM; // an empty call ends a pending command
    if (args->restype != RTSTR || !args->resval.rstring) return RTERROR;
    std::wstring cmd = upper(args->resval.rstring);
    if (!cmd.empty() && cmd[0] == L'_') cmd = cmd.substr(1);
    if (cmd == L"EXPORT") {
        const resbuf* file = args->rbnext;
        if (!file || file->restype != RTSTR || !file->resval.rstring) return RTERROR;
        std::wstring why;
        if (plot::plotCurrentLayout(acDocManager->curDocument(), file->resval.rstring, why) != Acad::eOk) {
            ed::commandLine().write(L"\n" + why + L"\n");
            return RTERROR;
        }
        return RTNORM;
    }
    ed::commandLine().write(L"\nUnknown command \"" + cmd + L"\".  See cadhost --help.\n");
    return RTERROR;
}

int acedCmdS(const resbuf* args) {
    return acedCmd(args);
}

namespace {

// Builds the list from (type, value) pairs ending with RTNONE or 0, as the host does, and runs it.
int commandFromArgs(int rtype, va_list ap) {
    resbuf* head = nullptr;
    resbuf** tail = &head;
    bool ok = true;
    for (int t = rtype; t != RTNONE && t != 0; t = va_arg(ap, int)) {
        resbuf* rb = acutNewRb(t);
        if (t == RTSTR)
            acutNewString(va_arg(ap, const ACHAR*), rb->resval.rstring);
        else if (t == RTSHORT)
            rb->resval.rint = short(va_arg(ap, int));
        else if (t == RTREAL)
            rb->resval.rreal = va_arg(ap, double);
        else if (t == RTPOINT || t == RT3DPOINT) {
            const double* p = va_arg(ap, const double*);
            for (int i = 0; i < 3; ++i) rb->resval.rpoint[i] = (t == RTPOINT && i == 2) ? 0.0 : p[i];
        } else {
            ok = false;
            acutRelRb(rb);
            break;
        }
        *tail = rb;
        tail = &rb->rbnext;
    }
    int rc = ok ? acedCmd(head) : RTERROR;
    acutRelRb(head);
    return rc;
}

} // namespace

int acedCommandS(int rtype, ...) {
    va_list ap;
    va_start(ap, rtype);
    int rc = commandFromArgs(rtype, ap);
    va_end(ap);
    return rc;
}

int acedCommand(int rtype, ...) {
    va_list ap;
    va_start(ap, rtype);
    int rc = commandFromArgs(rtype, ap);
    va_end(ap);
    return rc;
}

bool acedGetCurrentColors(AcColorSettings* settings) {
    if (!settings) return false;
    *settings = g_colors;
    return true;
}

bool acedSetCurrentColors(AcColorSettings* settings) {
    if (!settings) return false;
    g_colors = *settings;
    return true;
}
