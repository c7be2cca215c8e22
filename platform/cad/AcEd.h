#pragma once
// The editor: prompts, picks, selection sets, variables, the command line and the command stack.
#include "cad/EdCodes.h"
#include "cad/EdInput.h"
#include "cad/EdPrintf.h"
#include "cad/EdSelection.h"
#include "cad/EdVariables.h"
#include "cad/EdWildcard.h"
#include "cad/RxRegistry.h"
