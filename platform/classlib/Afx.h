#pragma once
// The class library in one include.
#include "win/WinTypes.h"
#include "classlib/Object.h"
#include "classlib/CString.h"
#include "classlib/Exceptions.h"
#include "classlib/Arrays.h"
#include "classlib/DateTime.h"
#include "classlib/File.h"
#include "classlib/DispatchDriver.h"
