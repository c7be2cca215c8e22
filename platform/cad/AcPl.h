#pragma once
// Plotting: settings validator, plot info, publish engine and progress dialog.
#include "cad/plot/PlotEngine.h"
