#pragma once
// System variables, host commands run from code, and the editor's colours.
#include "cad/db/AcResbuf.h"
#include "cad/editor/EdCodes.h"

// Variables: SORTENTS, LUNITS, LUPREC, INSUNITS, MEASUREMENT, TILEMODE, TEXTSIZE (the drawing's),
// CLAYER (the current layer's name), CTAB, DWGNAME, DWGPREFIX (the document's), FILEDIA, CMDDIA,
// CMDECHO, PICKFIRST (the host's), PRODUCT, ACADVER (read only). RTERROR for another name or a
// value of the wrong type; RTREJ for a read-only variable.
int acedGetVar(const ACHAR* name, resbuf* result);
int acedSetVar(const ACHAR* name, const resbuf* value);

// Host commands from code: the only one known is EXPORT with a file name (PDF, PNG or JPEG of the
// current layout); an empty call (no arguments) does nothing and succeeds.
int acedCmd(const resbuf* args);
int acedCommandS(int rtype, ...);
int acedCommand(int rtype, ...); // the older name of acedCommandS
int acedCmdS(const resbuf* args);

struct AcColorSettings {
    DWORD dwGfxModelBkColor;
    DWORD dwGfxLayoutBkColor;
    DWORD dwParallelBkColor;
    DWORD dwBEditBkColor;
    DWORD dwCmdLineBkColor;
    DWORD dwPlotPrevBkColor;
    DWORD dwSkyGradientZenithColor;
    DWORD dwSkyGradientHorizonColor;
    DWORD dwGroundGradientOriginColor;
    DWORD dwGroundGradientHorizonColor;
    DWORD dwEarthGradientAzimuthColor;
    DWORD dwEarthGradientHorizonColor;
    DWORD dwModelCrossHairColor;
    DWORD dwLayoutCrossHairColor;
};
// The screen colours, each a Windows RGB value (red in the low byte): model space on black.
bool acedGetCurrentColors(AcColorSettings* settings);
bool acedSetCurrentColors(AcColorSettings* settings);
