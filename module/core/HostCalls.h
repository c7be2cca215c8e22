#pragma once
// What the core services call in the host and in Windows, in one include.
#include "classlib/Afx.h"
#include "win/Win32.h"

#include "cad/EdPrintf.h"
#include "cad/AcCmColor.h"
#include "cad/AcDbCore.h"
