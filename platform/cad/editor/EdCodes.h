#pragma once
// Result codes of the editor's input and selection calls.
#ifndef RTNORM
#define RTNORM 5100
#endif
#ifndef RTNONE
#define RTNONE 5000
#endif
#ifndef RTERROR
#define RTERROR (-5001)
#endif
#ifndef RTCAN
#define RTCAN (-5002)
#endif
#ifndef RTREJ
#define RTREJ (-5003)
#endif
#ifndef RTFAIL
#define RTFAIL (-5004)
#endif
#ifndef RTKWORD
#define RTKWORD (-5005)
#endif
#ifndef RTINPUTTRUNCATED
#define RTINPUTTRUNCATED (-5008)
#endif
