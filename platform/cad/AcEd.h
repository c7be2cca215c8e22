#pragma once
// The editor: prompts, picks, selection sets, variables, the command line and the command stack.
#include "cad/editor/EdCodes.h"
#include "cad/editor/EdFrame.h"
#include "cad/editor/EdInput.h"
#include "cad/editor/EdPrintf.h"
#include "cad/editor/EdSelection.h"
#include "cad/editor/EdVariables.h"
#include "cad/editor/EdWildcard.h"
#include "cad/app/RxRegistry.h"
