#pragma once
// What the drawing services call in the host, in one include: documents and their locks, the
// editor's prompts and picks, the command line, layouts and plotting.
#include "cad/AcDb.h"
#include "cad/ApDocument.h"
#include "cad/AutomationApplication.h"
#include "cad/EdCodes.h"
#include "cad/EdInput.h"
#include "cad/EdPrintf.h"
#include "cad/EdSelection.h"
#include "cad/EdVariables.h"
#include "cad/HostApplicationServices.h"
#include "cad/PlotEngine.h"
