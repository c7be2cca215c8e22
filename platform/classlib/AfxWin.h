#pragma once
// The class library's window and dialog framework in one include.
#include "classlib/Controls.h"
#include "classlib/DataExchange.h"
#include "classlib/Dialog.h"
#include "classlib/FileDialog.h"
#include "classlib/Resources.h"
#include "classlib/Wnd.h"
#include "win/UiSink.h"
