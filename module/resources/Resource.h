#pragma once
// Identifiers of the module's dialog templates, controls and strings.

// Preferences dialog.
#define IDD_PREFERENCES 216
#define IDC_PREF_UNITS_METRIC 288
#define IDC_PREF_UNITS_IMPERIAL 289
#define IDC_PREF_PRECISION 290
#define IDC_PREF_TEXT_SIZE 291
#define IDC_PREF_ZOOM_BORDER 292
#define IDC_PREF_CSV_OPENER 330
#define IDC_PREF_ZOOM_BORDER_LABEL 338
#define IDC_PREF_TEXT_SCALE 341
#define IDC_PREF_TEXT_ROTATION 342

// About box.
#define IDD_ABOUT 221
#define IDC_ABOUT_TITLE 325
#define IDC_ABOUT_VERSION 326
#define IDC_ABOUT_COMPILE_DATE 327
#define IDC_ABOUT_HOST_VERSION 337
