#include "cad/app/AutomationApplication.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"

#include <atomic>

namespace automation {
namespace {

bool g_visible = false;

// Arguments arrive in reverse order.
VARIANT* arg(DISPPARAMS* p, UINT i) {
    if (!p || i >= p->cArgs) return nullptr;
    return &p->rgvarg[p->cArgs - 1 - i];
}

// A point given as a variant array of three doubles (or a variant holding one by reference).
bool pointArg(VARIANT* v, double out[3]) {
    if (!v) return false;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    if (V_VT(v) != (VT_ARRAY | VT_R8) || !V_ARRAY(v)) return false;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(V_ARRAY(v), 1, &lo);
    SafeArrayGetUBound(V_ARRAY(v), 1, &hi);
    if (hi - lo + 1 < 2) return false;
    out[2] = 0;
    for (LONG i = 0; i <= hi - lo && i < 3; ++i) {
        LONG idx = lo + i;
        if (FAILED(SafeArrayGetElement(V_ARRAY(v), &idx, &out[i]))) return false;
    }
    return true;
}

// An empty drawing has no extents: the window stays where it is (the zoom is still remembered, so
// that zoom previous undoes exactly one zoom).
AcApView extentsView(AcApDocument* doc) {
    AcApView v = doc->view();
    AcDbExtents e = doc->database() ? doc->database()->modelSpaceExtents() : AcDbExtents();
    if (!e.isEmpty()) {
        v.minX = e.minPoint().x;
        v.minY = e.minPoint().y;
        v.maxX = e.maxPoint().x;
        v.maxY = e.maxPoint().y;
    }
    return v;
}

class Counted : public IDispatch {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return refs_ > 1 ? --refs_ : 1; } // the host keeps the last reference

private:
    std::atomic<ULONG> refs_{1};
};

class Document : public Counted {
public:
    HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        AcApDocument* doc = acDocManager->mdiActiveDocument();
        if (!doc) return E_FAIL;
        if (result) VariantInit(result);
        switch (member) {
            case kDocRegen:
                if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
                if (!arg(params, 0)) return DISP_E_PARAMNOTFOUND;
                doc->regen();
                return S_OK;
            case kDocClose: {
                if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
                VARIANT* save = arg(params, 0);
                if (save && V_VT(save) == VT_BOOL && V_BOOL(save)) {
                    std::wstring why;
                    if (acDocManager->saveDocument(doc, doc->fileName(), why) != Acad::eOk) return E_FAIL;
                }
                acDocManager->closeDocument(doc);
                return S_OK;
            }
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }
};

class Application : public Counted {
public:
    HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        if (result) VariantInit(result);
        AcApDocument* doc = acDocManager->mdiActiveDocument();
        switch (member) {
            case kAppVisible:
                if (flags & DISPATCH_PROPERTYPUT) {
                    VARIANT* v = arg(params, 0);
                    if (!v || V_VT(v) != VT_BOOL) return DISP_E_TYPEMISMATCH;
                    g_visible = V_BOOL(v) != 0;
                    return S_OK;
                }
                if (!result) return E_POINTER;
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = g_visible ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            case kAppActiveDocument:
                if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
                if (!doc) return E_FAIL;
                document_.AddRef();
                V_VT(result) = VT_DISPATCH;
                result->pdispVal = &document_;
                return S_OK;
            case kAppZoomExtents:
                if (!doc) return E_FAIL;
                doc->setView(extentsView(doc));
                return S_OK;
            case kAppZoomPrevious:
                if (!doc) return E_FAIL;
                doc->previousView();
                return S_OK;
            case kAppZoomWindow: {
                if (!doc) return E_FAIL;
                double a[3], b[3];
                if (!pointArg(arg(params, 0), a) || !pointArg(arg(params, 1), b)) return DISP_E_TYPEMISMATCH;
                AcApView v{std::min(a[0], b[0]), std::min(a[1], b[1]), std::max(a[0], b[0]), std::max(a[1], b[1])};
                doc->setView(v);
                return S_OK;
            }
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    Document document_;
};

} // namespace

bool applicationVisible() {
    return g_visible;
}

} // namespace automation

IDispatch* AcadGetIDispatch(bool addRef) {
    static automation::Application* app = new automation::Application(); // lives as long as the host
    if (addRef) app->AddRef();
    return app;
}
