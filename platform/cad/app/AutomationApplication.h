#pragma once
// The host's automation application object and its active document, reached through IDispatch
// with the dispatch ids the module calls. Zooms change the active document's view window and
// keep the previous one; regenerations are counted on the document.
#include "win/ComTypes.h"

namespace automation {
constexpr DISPID kAppVisible = 1;
constexpr DISPID kAppActiveDocument = 5;
constexpr DISPID kAppZoomExtents = 36;
constexpr DISPID kAppZoomWindow = 40;
constexpr DISPID kAppZoomPrevious = 43;
constexpr DISPID kDocRegen = 54;
constexpr DISPID kDocClose = 58;

// Whether the application window was made visible through the Visible property.
bool applicationVisible();
} // namespace automation

// The application object; with addRef the caller owns one reference.
IDispatch* AcadGetIDispatch(bool addRef);
