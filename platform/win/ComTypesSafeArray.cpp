// SAFEARRAY: typed arrays of any number of dimensions, and their elements.
#include "win/ComTypes.h"

#include <cstdlib>
#include <cstring>
#include <vector>

// ---- SAFEARRAY -------------------------------------------------------------------------------

namespace {

// What we keep in front of every SAFEARRAY: its element type.
struct ArrayHeader {
    VARTYPE vt;
};

constexpr std::size_t kArrayPrefix = 16;

VARTYPE& arrayType(SAFEARRAY* a) {
    return reinterpret_cast<ArrayHeader*>(reinterpret_cast<char*>(a) - kArrayPrefix)->vt;
}

ULONG elementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_DATE:
        case VT_CY:
            return 8;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

ULONG elementCount(const SAFEARRAY* a) {
    ULONG n = 1;
    for (USHORT d = 0; d < a->cDims; ++d) n *= a->rgsabound[d].cElements;
    return n;
}

// Windows keeps the bounds with the first dimension last; indices come first dimension first.
HRESULT offsetOf(SAFEARRAY* a, const LONG* indices, std::size_t& offset) {
    if (!a || !indices) return E_INVALIDARG;
    std::size_t flat = 0;
    for (USHORT d = 0; d < a->cDims; ++d) {
        const SAFEARRAYBOUND& b = a->rgsabound[a->cDims - 1 - d];
        const LONG i = indices[d] - b.lLbound;
        if (i < 0 || static_cast<ULONG>(i) >= b.cElements) return DISP_E_BADINDEX;
        flat = flat * b.cElements + static_cast<std::size_t>(i);
    }
    offset = flat * a->cbElements;
    return S_OK;
}

void releaseElement(VARTYPE vt, void* p) {
    switch (vt) {
        case VT_BSTR:
            SysFreeString(*static_cast<BSTR*>(p));
            *static_cast<BSTR*>(p) = nullptr;
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (auto* u = *static_cast<IUnknown**>(p)) u->Release();
            *static_cast<IUnknown**>(p) = nullptr;
            break;
        case VT_VARIANT:
            VariantClear(static_cast<VARIANT*>(p));
            break;
        default:
            break;
    }
}

HRESULT copyElement(VARTYPE vt, void* target, const void* source, ULONG size) {
    switch (vt) {
        case VT_BSTR: {
            BSTR s = *static_cast<const BSTR*>(source);
            BSTR copy = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
            if (s && !copy) return E_OUTOFMEMORY;
            *static_cast<BSTR*>(target) = copy;
            return S_OK;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* u = *static_cast<IUnknown* const*>(source);
            if (u) u->AddRef();
            *static_cast<IUnknown**>(target) = u;
            return S_OK;
        }
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(target));
            return VariantCopy(static_cast<VARIANT*>(target), static_cast<const VARIANT*>(source));
        default:
            std::memcpy(target, source, size);
            return S_OK;
    }
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds) {
    const ULONG size = elementSize(vt);
    if (size == 0 || dims == 0 || !bounds) return nullptr;
    const std::size_t head = kArrayPrefix + sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<char*>(std::calloc(1, head));
    if (!block) return nullptr;
    auto* a = reinterpret_cast<SAFEARRAY*>(block + kArrayPrefix);
    arrayType(a) = vt;
    a->cDims = static_cast<USHORT>(dims);
    a->cbElements = size;
    // The caller gives the first dimension first; store it last.
    for (UINT d = 0; d < dims; ++d) a->rgsabound[dims - 1 - d] = bounds[d];
    const std::size_t bytes = static_cast<std::size_t>(elementCount(a)) * size;
    a->pvData = std::calloc(1, bytes ? bytes : 1);
    if (!a->pvData) {
        std::free(block);
        return nullptr;
    }
    return a;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
    SAFEARRAYBOUND b{elements, lowerBound};
    return SafeArrayCreate(vt, 1, &b);
}

HRESULT SafeArrayDestroy(SAFEARRAY* a) {
    if (!a) return S_OK;
    if (a->cLocks) return static_cast<HRESULT>(0x8002000Du); // DISP_E_ARRAYISLOCKED
    const VARTYPE vt = arrayType(a);
    auto* data = static_cast<char*>(a->pvData);
    const ULONG n = elementCount(a);
    for (ULONG i = 0; data && i < n; ++i) releaseElement(vt, data + static_cast<std::size_t>(i) * a->cbElements);
    std::free(a->pvData);
    std::free(reinterpret_cast<char*>(a) - kArrayPrefix);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* a, LONG* indices, void* value) {
    std::size_t offset = 0;
    if (const HRESULT hr = offsetOf(a, indices, offset); FAILED(hr)) return hr;
    const VARTYPE vt = arrayType(a);
    void* slot = static_cast<char*>(a->pvData) + offset;
    // BSTR and interface elements are given by value (the pointer itself).
    const void* source =
        (vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN) ? static_cast<const void*>(&value) : value;
    if (!value && vt != VT_BSTR && vt != VT_DISPATCH && vt != VT_UNKNOWN) return E_INVALIDARG;
    alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)];
    if (const HRESULT hr = copyElement(vt, fresh, source, a->cbElements); FAILED(hr)) return hr;
    releaseElement(vt, slot);
    std::memcpy(slot, fresh, a->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* a, LONG* indices, void* value) {
    std::size_t offset = 0;
    if (const HRESULT hr = offsetOf(a, indices, offset); FAILED(hr)) return hr;
    if (!value) return E_INVALIDARG;
    return copyElement(arrayType(a), value, static_cast<char*>(a->pvData) + offset, a->cbElements);
}

HRESULT SafeArrayGetLBound(SAFEARRAY* a, UINT dim, LONG* bound) {
    if (!a || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > a->cDims) return DISP_E_BADINDEX;
    *bound = a->rgsabound[a->cDims - dim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* a, UINT dim, LONG* bound) {
    if (!a || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > a->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = a->rgsabound[a->cDims - dim];
    *bound = b.lLbound + static_cast<LONG>(b.cElements) - 1;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* a) {
    return a ? a->cDims : 0;
}
UINT SafeArrayGetElemsize(SAFEARRAY* a) {
    return a ? a->cbElements : 0;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* a, VARTYPE* vt) {
    if (!a || !vt) return E_INVALIDARG;
    *vt = arrayType(a);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* a, void** data) {
    if (!a || !data) return E_INVALIDARG;
    ++a->cLocks;
    *data = a->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* a) {
    if (!a) return E_INVALIDARG;
    if (a->cLocks == 0) return E_UNEXPECTED;
    --a->cLocks;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* a, SAFEARRAY** copy) {
    if (!copy) return E_INVALIDARG;
    *copy = nullptr;
    if (!a) return S_OK;
    std::vector<SAFEARRAYBOUND> bounds(a->cDims);
    for (USHORT d = 0; d < a->cDims; ++d) bounds[d] = a->rgsabound[a->cDims - 1 - d];
    const VARTYPE vt = arrayType(a);
    SAFEARRAY* c = SafeArrayCreate(vt, a->cDims, bounds.data());
    if (!c) return E_OUTOFMEMORY;
    const ULONG n = elementCount(a);
    for (ULONG i = 0; i < n; ++i) {
        const std::size_t off = static_cast<std::size_t>(i) * a->cbElements;
        if (const HRESULT hr = copyElement(vt, static_cast<char*>(c->pvData) + off, static_cast<char*>(a->pvData) + off,
                                           a->cbElements);
            FAILED(hr)) {
            SafeArrayDestroy(c);
            return hr;
        }
    }
    *copy = c;
    return S_OK;
}
