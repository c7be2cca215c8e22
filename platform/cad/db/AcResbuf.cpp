#include "cad/db/AcResbuf.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>

AcRbKind acutRbKind(int t) {
    switch (t) {
        case RTSTR:
            return AcRbKind::kString;
        case RTREAL:
        case RTANG:
            return AcRbKind::kReal;
        case RTPOINT:
        case RT3DPOINT:
            return AcRbKind::kPoint;
        case RTSHORT:
            return AcRbKind::kShort;
        case RTLONG:
            return AcRbKind::kLong;
        case RTINT64:
        case RTLONG_PTR:
            return AcRbKind::kInt64;
        case RTENAME:
        case RTPICKS:
            return AcRbKind::kName;
        case RTLB:
        case RTLE:
        case RTDOTE:
        case RTNIL:
        case RTT:
        case RTVOID:
        case RTNONE:
            return AcRbKind::kNone;
        case RTDXF0:
            return AcRbKind::kString;
        case RTORINT:
            return AcRbKind::kShort;
        default:
            break;
    }
    if (t == -1 || t == -2) return AcRbKind::kName;
    if (t == -4 || t == -3) return AcRbKind::kString;
    if (t >= 0 && t <= 9) return AcRbKind::kString;
    if (t >= 10 && t <= 37) return AcRbKind::kPoint;
    if (t >= 38 && t <= 59) return AcRbKind::kReal;
    if (t >= 60 && t <= 79) return AcRbKind::kShort;
    if (t >= 90 && t <= 99) return AcRbKind::kLong;
    if (t == 100 || t == 101 || t == 102 || t == 105) return AcRbKind::kString;
    if (t >= 110 && t <= 112) return AcRbKind::kPoint;
    if (t >= 113 && t <= 149) return AcRbKind::kReal;
    if (t >= 160 && t <= 169) return AcRbKind::kInt64;
    if (t >= 170 && t <= 179) return AcRbKind::kShort;
    if (t >= 210 && t <= 239) return AcRbKind::kReal;
    if (t >= 270 && t <= 289) return AcRbKind::kShort;
    if (t >= 290 && t <= 299) return AcRbKind::kShort;
    if (t >= 300 && t <= 309) return AcRbKind::kString;
    if (t >= 310 && t <= 319) return AcRbKind::kBinary;
    if (t >= 320 && t <= 329) return AcRbKind::kString;
    if (t >= 330 && t <= 369) return AcRbKind::kName;
    if (t >= 370 && t <= 389) return AcRbKind::kShort;
    if (t >= 390 && t <= 399) return AcRbKind::kString;
    if (t >= 400 && t <= 409) return AcRbKind::kShort;
    if (t >= 410 && t <= 419) return AcRbKind::kString;
    if (t >= 420 && t <= 429) return AcRbKind::kLong;
    if (t >= 430 && t <= 439) return AcRbKind::kString;
    if (t >= 440 && t <= 449) return AcRbKind::kLong;
    if (t >= 450 && t <= 459) return AcRbKind::kLong;
    if (t >= 460 && t <= 469) return AcRbKind::kReal;
    if (t >= 470 && t <= 481) return AcRbKind::kString;
    if (t == 999) return AcRbKind::kString;
    if (t >= 1000 && t <= 1003) return AcRbKind::kString;
    if (t == 1004) return AcRbKind::kBinary;
    if (t >= 1005 && t <= 1009) return AcRbKind::kString;
    if (t >= 1010 && t <= 1039) return AcRbKind::kPoint;
    if (t >= 1040 && t <= 1059) return AcRbKind::kReal;
    if (t >= 1060 && t <= 1070) return AcRbKind::kShort;
    if (t == 1071) return AcRbKind::kLong;
    return AcRbKind::kNone;
}

resbuf* acutNewRb(int restype) {
    resbuf* rb = new resbuf;
    std::memset(rb, 0, sizeof(resbuf));
    rb->restype = short(restype);
    return rb;
}

int acutRelRb(resbuf* rb) {
    while (rb) {
        resbuf* next = rb->rbnext;
        AcRbKind k = acutRbKind(rb->restype);
        if (k == AcRbKind::kString)
            delete[] rb->resval.rstring;
        else if (k == AcRbKind::kBinary)
            delete[] rb->resval.rbinary.buf;
        delete rb;
        rb = next;
    }
    return RTNORM;
}

int acutNewString(const ACHAR* src, ACHAR*& dst) {
    if (!src) {
        dst = nullptr;
        return RTERROR;
    }
    size_t n = std::wcslen(src);
    dst = new ACHAR[n + 1];
    std::wmemcpy(dst, src, n + 1);
    return RTNORM;
}

resbuf* acutBuildList(int restype, ...) {
    va_list ap;
    va_start(ap, restype);
    resbuf *head = nullptr, *tail = nullptr;
    int code = restype;
    bool ok = true;
    while (code != 0 && code != RTNONE) {
        resbuf* rb = acutNewRb(code);
        switch (acutRbKind(code)) {
            case AcRbKind::kString: {
                const ACHAR* s = va_arg(ap, const ACHAR*);
                acutNewString(s ? s : L"", rb->resval.rstring);
                break;
            }
            case AcRbKind::kReal:
                rb->resval.rreal = va_arg(ap, double);
                break;
            case AcRbKind::kPoint: {
                const double* p = va_arg(ap, const double*);
                if (p) {
                    rb->resval.rpoint[0] = p[0];
                    rb->resval.rpoint[1] = p[1];
                    rb->resval.rpoint[2] = p[2];
                }
                break;
            }
            case AcRbKind::kShort:
                rb->resval.rint = short(va_arg(ap, int));
                break;
            case AcRbKind::kLong:
                rb->resval.rlong = Adesk::Int32(va_arg(ap, int));
                break;
            case AcRbKind::kInt64:
                rb->resval.mnInt64 = va_arg(ap, long long);
                break;
            case AcRbKind::kName: {
                const Adesk::IntPtr* n = va_arg(ap, const Adesk::IntPtr*);
                if (n) {
                    rb->resval.rlname[0] = n[0];
                    rb->resval.rlname[1] = n[1];
                }
                break;
            }
            case AcRbKind::kBinary: {
                const ads_binary* b = va_arg(ap, const ads_binary*);
                if (b && b->clen > 0) {
                    rb->resval.rbinary.clen = b->clen;
                    rb->resval.rbinary.buf = new char[size_t(b->clen)];
                    std::memcpy(rb->resval.rbinary.buf, b->buf, size_t(b->clen));
                }
                break;
            }
            case AcRbKind::kNone:
                if (code != RTLB && code != RTLE && code != RTDOTE && code != RTNIL && code != RTT && code != RTVOID)
                    ok = false;
                break;
        }
        if (!ok) {
            acutRelRb(rb);
            break;
        }
        if (tail)
            tail->rbnext = rb;
        else
            head = rb;
        tail = rb;
        code = va_arg(ap, int);
    }
    va_end(ap);
    if (!ok) {
        acutRelRb(head);
        return nullptr;
    }
    return head;
}

resbuf* acutRbDup(const resbuf* src) {
    resbuf *head = nullptr, *tail = nullptr;
    for (; src; src = src->rbnext) {
        resbuf* rb = acutNewRb(src->restype);
        rb->resval = src->resval;
        AcRbKind k = acutRbKind(src->restype);
        if (k == AcRbKind::kString) {
            rb->resval.rstring = nullptr;
            acutNewString(src->resval.rstring ? src->resval.rstring : L"", rb->resval.rstring);
        } else if (k == AcRbKind::kBinary) {
            rb->resval.rbinary.buf = nullptr;
            if (src->resval.rbinary.clen > 0 && src->resval.rbinary.buf) {
                rb->resval.rbinary.buf = new char[size_t(src->resval.rbinary.clen)];
                std::memcpy(rb->resval.rbinary.buf, src->resval.rbinary.buf, size_t(src->resval.rbinary.clen));
            } else {
                rb->resval.rbinary.clen = 0;
            }
        }
        if (tail)
            tail->rbnext = rb;
        else
            head = rb;
        tail = rb;
    }
    return head;
}
