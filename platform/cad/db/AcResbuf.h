#pragma once
// Result buffers: the linked value lists of extended data and of the editor's calls.
#include "cad/db/AcDbCore.h"

using ads_real = double;
using ads_point = ads_real[3];
using ads_name = Adesk::IntPtr[2];
using ads_matrix = ads_real[4][4];

// Result codes of the editor's calls.
#ifndef RTNORM
#define RTNONE 5000
#define RTNORM 5100
#define RTERROR (-5001)
#define RTCAN (-5002)
#define RTREJ (-5003)
#define RTFAIL (-5004)
#define RTKWORD (-5005)
#define RTINPUTTRUNCATED (-5008)
#endif

// Value type codes of result buffers (besides the drawing format's group codes).
#ifndef RTREAL
#define RTREAL 5001
#define RTPOINT 5002
#define RTSHORT 5003
#define RTANG 5004
#define RTSTR 5005
#define RTENAME 5006
#define RTPICKS 5007
#define RTORINT 5008
#define RT3DPOINT 5009
#define RTLONG 5010
#define RTVOID 5014
#define RTLB 5016
#define RTLE 5017
#define RTDOTE 5018
#define RTNIL 5019
#define RTDXF0 5020
#define RTT 5021
#define RTRESBUF 5023
#define RTMODELESS 5027
#define RTLONG_PTR 5030
#define RTINT64 5031
#endif

struct ads_binary {
    short clen;
    char* buf;
};

union ads_u_val {
    ads_real rreal;
    ads_real rpoint[3];
    short rint;
    ACHAR* rstring;
    Adesk::Int32 rlong;
    Adesk::Int64 mnInt64;
    ads_name rlname;
    ads_binary rbinary;
    unsigned char ihandle[8];
};

struct resbuf {
    resbuf* rbnext;
    short restype;
    ads_u_val resval;
};

// What kind of value a result-buffer code carries.
enum class AcRbKind { kNone, kString, kReal, kPoint, kShort, kLong, kInt64, kName, kBinary };
AcRbKind acutRbKind(int restype);

resbuf* acutNewRb(int restype);
int acutRelRb(resbuf* rb);
// Builds a list from (code, value) pairs ending with 0 or RTNONE. Strings are const ACHAR*, points
// ads_point (double*), reals double, shorts and longs int, names ads_name.
resbuf* acutBuildList(int restype, ...);
// A deep copy of a list.
resbuf* acutRbDup(const resbuf* rb);
int acutNewString(const ACHAR* src, ACHAR*& dst);
