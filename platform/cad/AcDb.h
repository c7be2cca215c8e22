#pragma once
// The drawing database of the CAD host: everything the module includes.
#include "cad/AcDbCore.h"
#include "cad/AcGe.h"
#include "cad/AcCmColor.h"
#include "cad/AcResbuf.h"
#include "cad/CadGeometry.h"
#include "cad/AcDbObject.h"
#include "cad/AcDbSymbolTable.h"
#include "cad/AcDbEntity.h"
#include "cad/AcDbHatch.h"
#include "cad/AcDbTable.h"
#include "cad/AcDbHyperlink.h"
#include "cad/AcDbDatabase.h"
