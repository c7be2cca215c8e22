#pragma once
// The module's resources: dialog templates, menus, dialog-initialisation data and strings,
// registered under the module's instance when it is attached.
#include "classlib/Resources.h"

const RESOURCETABLE& kelmoResources();
