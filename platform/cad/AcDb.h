#pragma once
// The drawing database of the CAD host: everything the module includes.
#include "cad/db/AcDbCore.h"
#include "cad/db/AcGe.h"
#include "cad/db/AcCmColor.h"
#include "cad/db/AcResbuf.h"
#include "cad/db/CadGeometry.h"
#include "cad/db/AcDbObject.h"
#include "cad/db/AcDbSymbolTable.h"
#include "cad/db/AcDbEntity.h"
#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"
#include "cad/db/AcDbHyperlink.h"
#include "cad/db/AcDbDatabase.h"
