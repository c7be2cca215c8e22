#pragma once
// What the drawing services call in the host, in one include: documents and their locks, the
// editor's prompts and picks, the command line, layouts and plotting.
#include "cad/AcDb.h"
#include "cad/app/ApDocument.h"
#include "cad/app/AutomationApplication.h"
#include "cad/editor/EdCodes.h"
#include "cad/editor/EdInput.h"
#include "cad/editor/EdPrintf.h"
#include "cad/editor/EdSelection.h"
#include "cad/editor/EdVariables.h"
#include "cad/app/HostApplicationServices.h"
#include "cad/plot/PlotEngine.h"
