#pragma once
// The host application: documents, application services, layouts, automation, modules.
#include "cad/ApDocument.h"
#include "cad/AutomationApplication.h"
#include "cad/HostApplicationServices.h"
#include "cad/RxDynamicLinker.h"
#include "cad/RxRegistry.h"
