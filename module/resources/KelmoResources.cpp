#include "resources/KelmoResources.h"

#include "resources/Resource.h"

namespace {

constexpr DWORD childVisible = WS_CHILD | WS_VISIBLE;
constexpr DWORD modalFrame = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;

DLGITEMDEF groupBox(const wchar_t* text, int x, int y, int cx, int cy, DWORD extra = WS_VISIBLE) {
    return {WC_BUTTON, IDC_STATIC, text, WS_CHILD | extra | BS_GROUPBOX, x, y, cx, cy};
}

DLGITEMDEF label(int id, const wchar_t* text, int x, int y, int cx, int cy, DWORD align = SS_LEFT) {
    return {WC_STATIC, id, text, childVisible | align, x, y, cx, cy};
}

DLGITEMDEF edit(int id, int x, int y, int cx, int cy, DWORD extra = 0) {
    return {WC_EDIT, id, L"", childVisible | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | extra, x, y, cx, cy};
}

DLGTEMPLATEDEF preferencesTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_PREFERENCES;
    t.caption = L"Brenvik - Preferences";
    t.style = modalFrame;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 225;
    t.cy = 267;
    t.items = {
        groupBox(L"Blocks", 7, 7, 211, 182),
        groupBox(L"Area Settings", 15, 18, 195, 66),
        label(IDC_STATIC, L"Measurements are in:", 27, 33, 70, 8),
        {WC_BUTTON, IDC_PREF_UNITS_METRIC, L"m", childVisible | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 99, 32, 21,
         10},
        {WC_BUTTON, IDC_PREF_UNITS_IMPERIAL, L"ft", childVisible | BS_AUTORADIOBUTTON, 129, 32, 21, 10},
        groupBox(L"Static", 93, 32, 72, 10, 0),
        label(IDC_STATIC, L"Area precision is to", 29, 47, 64, 8),
        edit(IDC_PREF_PRECISION, 95, 46, 15, 12, ES_NUMBER | WS_GROUP),
        label(IDC_STATIC, L"decimal places.", 116, 47, 50, 8),
        label(IDC_STATIC, L"NB precision only affects newly created areas", 45, 67, 158, 8, SS_RIGHT),
        groupBox(L"Formatting", 15, 89, 195, 91),
        groupBox(L"Default Text", 25, 102, 175, 50),
        label(IDC_STATIC, L"Size", 35, 118, 30, 8),
        edit(IDC_PREF_TEXT_SIZE, 35, 130, 25, 12, ES_NUMBER),
        label(IDC_STATIC, L"Scale", 75, 118, 30, 8),
        edit(IDC_PREF_TEXT_SCALE, 75, 130, 25, 12),
        label(IDC_STATIC, L"Rotation", 115, 118, 30, 8),
        edit(IDC_PREF_TEXT_ROTATION, 115, 130, 25, 12),
        label(IDC_PREF_ZOOM_BORDER_LABEL, L"Zoom  Border", 35, 163, 45, 8),
        edit(IDC_PREF_ZOOM_BORDER, 83, 161, 47, 12, ES_NUMBER),
        groupBox(L"Export Details to CSV file", 7, 195, 211, 42),
        label(IDC_STATIC, L"Open CSV file with", 15, 207, 62, 8),
        edit(IDC_PREF_CSV_OPENER, 15, 218, 194, 12),
        {WC_BUTTON, IDOK, L"OK", childVisible | WS_TABSTOP | BS_DEFPUSHBUTTON, 168, 246, 50, 14},
    };
    return t;
}

DLGTEMPLATEDEF aboutTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_ABOUT;
    t.caption = L"About - Dorvane";
    t.style = modalFrame;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 186;
    t.cy = 96;
    t.items = {
        label(IDC_ABOUT_TITLE, L"Kelmo - Dorvane", 12, 10, 161, 8),
        label(IDC_STATIC, L"AutoCAD Version", 12, 24, 60, 8),
        label(IDC_ABOUT_HOST_VERSION, L"", 80, 24, 92, 8),
        label(IDC_STATIC, L"KRP Version", 12, 38, 60, 8),
        label(IDC_ABOUT_VERSION, L"", 80, 38, 92, 8),
        label(IDC_STATIC, L"Compile Date", 12, 52, 60, 8),
        label(IDC_ABOUT_COMPILE_DATE, L"", 80, 52, 92, 8),
        {WC_BUTTON, IDOK, L"OK", childVisible | WS_TABSTOP | BS_DEFPUSHBUTTON, 132, 78, 50, 14},
    };
    return t;
}

DLGITEMDEF button(int id, const wchar_t* text, int x, int y, int cx, int cy, DWORD extra = WS_VISIBLE) {
    return {WC_BUTTON, id, text, WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | extra, x, y, cx, cy};
}

// The block creator: the next space name, the label's text size, scale and rotation, and the
// area buttons that no user reaches (they are never shown).
DLGTEMPLATEDEF blockCreationTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_BLOCK_CREATION;
    t.caption = L"Kelmo Block Creator";
    t.style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SYSMODAL | DS_CONTROL | DS_SETFONT;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 293;
    t.cy = 60;
    t.menuId = IDR_KELMO_MENU;
    t.items = {
        button(IDCANCEL, L"Close", 241, 23, 41, 12),
        label(IDC_STATIC, L"Next Space Name", 6, 5, 59, 8),
        button(IDC_CREATE_START, L"Start", 242, 5, 41, 12),
        edit(IDC_CREATE_NEXT_NAME, 69, 5, 161, 12),
        button(IDC_CREATE_SUB_AREA, L"Sub Area", 189, 40, 41, 12, 0),
        edit(IDC_CREATE_TEXT_SIZE, 68, 23, 27, 12),
        label(IDC_CREATE_TEXT_SIZE_LABEL, L"Text Size", 33, 25, 31, 8),
        button(IDC_CREATE_ADD_AREA, L"Add Area", 138, 40, 41, 12, 0),
        edit(IDC_CREATE_TEXT_SCALE, 134, 23, 27, 12),
        edit(IDC_CREATE_TEXT_ROTATION, 203, 23, 27, 12),
        label(IDC_CREATE_SCALE_LABEL, L"Scale", 110, 25, 22, 8),
        label(IDC_CREATE_ROTATION_LABEL, L"Rotation", 171, 25, 25, 8),
    };
    return t;
}

// The hyperlink dialog: the picked block's name and handle, five rows of address and description.
DLGTEMPLATEDEF hyperlinkTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_HYPERLINK;
    t.caption = L"Kelmo Block Hyperlinking";
    t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 296;
    t.cy = 179;
    const int hrefs[] = {IDC_LINK_HREF_1, IDC_LINK_HREF_2, IDC_LINK_HREF_3, IDC_LINK_HREF_4, IDC_LINK_HREF_5};
    const int descriptions[] = {IDC_LINK_DESCRIPTION_1, IDC_LINK_DESCRIPTION_2, IDC_LINK_DESCRIPTION_3,
                                IDC_LINK_DESCRIPTION_4, IDC_LINK_DESCRIPTION_5};
    t.items = {
        label(IDC_STATIC, L"Name", 8, 8, 20, 8),
        label(IDC_LINK_BLOCK_NAME, L"Static", 33, 8, 81, 8),
        label(IDC_STATIC, L"Handle", 121, 8, 23, 8),
        label(IDC_LINK_HANDLE, L"Static", 149, 8, 68, 8),
        button(IDC_LINK_SELECT, L"Select Block", 234, 5, 50, 14),
        label(IDC_STATIC, L"Hyperlink", 8, 23, 30, 8),
        label(IDC_STATIC, L"Description", 171, 23, 37, 8),
    };
    for (int row = 0; row < 5; ++row) {
        t.items.push_back(edit(hrefs[row], 8, 34 + 17 * row, 154, 12));
        t.items.push_back(edit(descriptions[row], 172, 34 + 17 * row, 112, 12));
    }
    t.items.push_back({WC_BUTTON, IDC_LINK_ALL_SIMILAR, L"Apply changes to all similar blocks",
                       childVisible | WS_TABSTOP | BS_AUTOCHECKBOX, 8, 119, 126, 10});
    t.items.push_back(button(IDOK, L"OK", 116, 133, 50, 14));
    t.items.push_back(button(IDC_LINK_APPLY, L"Apply", 175, 133, 50, 14));
    t.items.push_back(button(IDC_LINK_CANCEL, L"Cancel", 234, 133, 50, 14));
    return t;
}

MENUDEF kelmoMenu() {
    return {IDR_KELMO_MENU,
            {
                {L"&File", 0, {{L"E&xit", ID_KELMO_EXIT}}},
                {L"&Tools", 0, {{L"&Options", ID_KELMO_OPTIONS}}},
                {L"&Help", 0, {{L"&About", ID_KELMO_ABOUT}}},
            }};
}

RESOURCETABLE buildTable() {
    RESOURCETABLE table;
    table.dialogs = {preferencesTemplate(), aboutTemplate(), blockCreationTemplate(), hyperlinkTemplate()};
    table.menus = {kelmoMenu()};
    return table;
}

} // namespace

const RESOURCETABLE& kelmoResources() {
    static const RESOURCETABLE table = buildTable();
    return table;
}
