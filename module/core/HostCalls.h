#pragma once
// What the core services call in the host and in Windows, in one include.
#include "classlib/Afx.h"
#include "win/Win32.h"

#include "cad/editor/EdPrintf.h"
#include "cad/db/AcCmColor.h"
#include "cad/db/AcDbCore.h"
