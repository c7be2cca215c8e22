#pragma once
// The host application: documents, application services, layouts, automation, modules.
#include "cad/app/ApDocument.h"
#include "cad/app/AutomationApplication.h"
#include "cad/app/HostApplicationServices.h"
#include "cad/app/RxDynamicLinker.h"
#include "cad/app/RxRegistry.h"
