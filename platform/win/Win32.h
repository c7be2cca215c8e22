#pragma once
// Everything of Windows the module calls.
#include "win/WinTypes.h"
#include "win/WinApi.h"
#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/ComTypes.h"
#include "win/UiSink.h"
#include "win/Module.h"
#include "win/Files.h"
#include "win/Process.h"
