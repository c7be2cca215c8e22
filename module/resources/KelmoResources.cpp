#include "resources/KelmoResources.h"

#include "resources/Resource.h"

namespace {

constexpr DWORD childVisible = WS_CHILD | WS_VISIBLE;
constexpr DWORD modalFrame = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
// Modeless windows are shown by whoever creates them; pages are children of a tab control.
constexpr DWORD modelessFrame = DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD pageFrame = DS_SETFONT | DS_CONTROL | WS_CHILD;

DLGITEMDEF groupBox(const wchar_t* text, int x, int y, int cx, int cy, DWORD extra = WS_VISIBLE) {
    return {WC_BUTTON, IDC_STATIC, text, WS_CHILD | extra | BS_GROUPBOX, x, y, cx, cy};
}

DLGITEMDEF label(int id, const wchar_t* text, int x, int y, int cx, int cy, DWORD align = SS_LEFT) {
    return {WC_STATIC, id, text, childVisible | align, x, y, cx, cy};
}

DLGITEMDEF edit(int id, int x, int y, int cx, int cy, DWORD extra = 0) {
    return {WC_EDIT, id, L"", childVisible | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | extra, x, y, cx, cy};
}

DLGITEMDEF button(int id, const wchar_t* text, int x, int y, int cx, int cy, DWORD extra = WS_VISIBLE) {
    return {WC_BUTTON, id, text, WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | extra, x, y, cx, cy};
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

DLGTEMPLATEDEF blockEditorTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_BLOCK_EDITOR;
    t.caption = L"Kelmo Block Editor";
    t.style = modelessFrame;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 205;
    t.cy = 151;
    t.menuId = IDR_EDITOR_MENU;
    t.items = {
        label(IDC_EDITOR_DRAWING_NAME, L"Drawing Name", 7, 1, 191, 8),
        {WC_COMBOBOX, IDC_EDITOR_FILTER, L"", childVisible | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 7, 13, 126, 55},
        button(IDC_EDITOR_SELECT, L"Select Space", 140, 13, 56, 14),
        {WC_LISTBOX, IDC_EDITOR_LIST, L"",
         childVisible | LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 31, 126,
         86},
        button(IDC_EDITOR_CLOSE, L"Close", 140, 103, 56, 14),
        label(IDC_EDITOR_COUNT, L"X blocks found", 7, 123, 191, 8),
    };
    return t;
}

DLGTEMPLATEDEF blockTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_BLOCK;
    t.caption = L"RoomBlock";
    t.style = modelessFrame;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 312;
    t.cy = 202;
    t.items = {
        {WC_TABCONTROL, IDC_BLOCK_TAB, L"", childVisible | TCS_FIXEDWIDTH | WS_TABSTOP, 7, 5, 297, 152},
        button(IDC_BLOCK_RESET, L"Reset", 7, 163, 50, 14, 0),
        button(IDC_BLOCK_APPLY, L"Apply", 145, 163, 50, 14),
        button(IDC_BLOCK_CANCEL, L"Cancel", 201, 163, 50, 14),
        {WC_BUTTON, IDOK, L"OK", childVisible | WS_TABSTOP | BS_DEFPUSHBUTTON, 255, 163, 50, 14},
    };
    return t;
}

DLGTEMPLATEDEF dataPageTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_TAB_DATA;
    t.style = pageFrame;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 294;
    t.cy = 138;
    t.items = {
        groupBox(L"Space Details", 7, 7, 280, 124),
        label(IDC_STATIC, L"Name", 15, 20, 20, 8),
        edit(IDC_DATA_NAME, 41, 18, 157, 12),
        label(IDC_STATIC, L"Area", 15, 35, 20, 8),
        edit(IDC_DATA_AREA_TEXT, 41, 33, 157, 12),
        label(IDC_STATIC, L"Aux", 16, 49, 20, 8),
        edit(IDC_DATA_AUX, 41, 48, 157, 12),
        label(IDC_DATA_HANDLE_LABEL, L"Handle", 207, 20, 26, 8),
        label(IDC_DATA_HANDLE, L"Static", 237, 20, 43, 8),
        label(IDC_DATA_ASSETS_LABEL, L"Assets", 206, 35, 26, 8),
        label(IDC_DATA_ASSETS, L"Static", 237, 35, 43, 8),
        label(IDC_STATIC, L"Area", 14, 65, 18, 8),
        edit(IDC_DATA_AREA, 34, 63, 29, 12, ES_NUMBER),
        label(IDC_DATA_AREA_UNIT, L"unit\u00B2", 66, 65, 15, 8),
        button(IDC_DATA_AREA_RECALC, L"recalc", 84, 63, 25, 12),
        button(IDC_DATA_AREA_COPY, L"^", 112, 63, 11, 12),
        label(IDC_STATIC, L"Perimeter", 166, 65, 32, 8),
        edit(IDC_DATA_PERIMETER, 200, 63, 29, 12, ES_NUMBER),
        label(IDC_DATA_PERIMETER_UNIT, L"unit", 232, 65, 12, 8),
        button(IDC_DATA_PERIMETER_RECALC, L"recalc", 247, 63, 25, 12),
        button(IDC_DATA_PERIMETER_COPY, L"^", 275, 63, 11, 12),
        groupBox(L"Additional Areas", 14, 78, 85, 53),
        button(IDC_DATA_ADD_SET, L"set", 19, 90, 39, 12),
        button(IDC_DATA_ADD_DELETE, L"delete", 19, 104, 39, 12),
        button(IDC_DATA_ADD_HIGHLIGHT, L"highlight", 19, 118, 39, 12),
        groupBox(L"Subtracted Areas", 108, 78, 88, 53),
        button(IDC_DATA_SUB_SET, L"set", 115, 90, 39, 12),
        button(IDC_DATA_SUB_DELETE, L"delete", 115, 104, 39, 12),
        button(IDC_DATA_SUB_HIGHLIGHT, L"highlight", 115, 118, 39, 12),
        {WC_STATIC, IDC_STATIC, L"Height", WS_CHILD | SS_LEFT, 214, 88, 22, 8},
        {WC_EDIT, IDC_DATA_HEIGHT, L"", WS_CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER, 239, 86, 29,
         12},
        {WC_STATIC, IDC_STATIC, L"Volume", WS_CHILD | SS_LEFT, 211, 107, 25, 8},
        {WC_EDIT, IDC_DATA_VOLUME, L"", WS_CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, 239, 105, 29,
         12},
    };
    return t;
}

DLGTEMPLATEDEF formatPageTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_TAB_FORMAT;
    t.style = pageFrame;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 294;
    t.cy = 109;
    t.items = {
        groupBox(L"Attribute Format", 5, 5, 280, 81),
        label(IDC_FORMAT_HEIGHT_LABEL, L"Height", 30, 18, 21, 8),
        edit(IDC_FORMAT_HEIGHT, 55, 16, 35, 12),
        label(IDC_FORMAT_WIDTH_LABEL, L"Width Factor", 11, 34, 42, 8),
        edit(IDC_FORMAT_WIDTH_FACTOR, 55, 32, 35, 12),
        label(IDC_FORMAT_ROTATION_LABEL, L"Rotation", 26, 50, 27, 8),
        edit(IDC_FORMAT_ROTATION, 55, 48, 35, 12),
        label(IDC_STATIC, L"(in degrees)", 94, 50, 40, 8),
        button(IDC_FORMAT_MOVE, L"Move Attributes", 55, 65, 68, 12),
    };
    return t;
}

DLGTEMPLATEDEF extendedDataPageTemplate() {
    DLGTEMPLATEDEF t;
    t.id = IDD_TAB_XDATA;
    t.style = pageFrame;
    t.fontName = L"Arial";
    t.fontSize = 8;
    t.cx = 294;
    t.cy = 109;
    t.items = {
        groupBox(L"Extended Data", 7, 7, 280, 95),
        label(IDC_XDATA_AREA_TYPE_LABEL, L"AREA_TYPE", 12, 19, 50, 8),
        edit(IDC_XDATA_AREA_TYPE, 65, 17, 78, 12),
        label(IDC_XDATA_COST_CENTRE_LABEL, L"COST_CENTRE", 12, 37, 50, 8),
        edit(IDC_XDATA_COST_CENTRE, 65, 35, 78, 12),
        label(IDC_XDATA_DATE_LABEL, L"DATE", 12, 53, 50, 8),
        edit(IDC_XDATA_DATE, 65, 51, 78, 12),
        label(IDC_XDATA_DATE_LAST_MOVE_LABEL, L"DATE_L_MOVE", 12, 70, 50, 8),
        edit(IDC_XDATA_DATE_LAST_MOVE, 65, 68, 78, 12),
        label(IDC_XDATA_DEPT_CHARGE_LABEL, L"DEPT_CHARGE", 12, 87, 50, 8),
        edit(IDC_XDATA_DEPT_CHARGE, 65, 85, 78, 12),
        label(IDC_XDATA_TAG_TYPE_LABEL, L"TAGTYPE", 150, 19, 48, 8),
        edit(IDC_XDATA_TAG_TYPE, 200, 17, 78, 12),
        label(IDC_XDATA_SPECIAL_REQ_LABEL, L"SPECIAL_REQ", 150, 37, 48, 8),
        edit(IDC_XDATA_SPECIAL_REQ, 200, 35, 78, 12),
        label(IDC_XDATA_TOT_STAFF_LABEL, L"TOT_STAFF", 150, 53, 48, 8),
        edit(IDC_XDATA_TOT_STAFF, 200, 51, 78, 12),
        label(IDC_XDATA_TOT_WKSTNS_LABEL, L"TOT_WKSTNS", 150, 70, 48, 8),
        edit(IDC_XDATA_TOT_WKSTNS, 200, 68, 78, 12),
    };
    return t;
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
    t.menuId = IDR_EDITOR_MENU;
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

MENUDEF editorMenu() {
    return {IDR_EDITOR_MENU,
            {
                {L"&File", 0, {{L"E&xit", ID_FILE_EXIT}}},
                {L"&Tools", 0, {{L"&Options", ID_TOOLS_OPTIONS}}},
                {L"&Help", 0, {{L"&About", ID_HELP_ABOUT}}},
            }};
}

RESOURCETABLE buildTable() {
    RESOURCETABLE table;
    table.dialogs = {preferencesTemplate(), aboutTemplate(),      blockEditorTemplate(),      blockTemplate(),
                     dataPageTemplate(),    formatPageTemplate(), extendedDataPageTemplate(), blockCreationTemplate(),
                     hyperlinkTemplate()};
    table.menus = {editorMenu()};
    table.dialogInits = {{IDD_BLOCK_EDITOR, IDC_EDITOR_FILTER, {L"Rooms/Spaces", L"Gross Area"}}};
    return table;
}

} // namespace

const RESOURCETABLE& kelmoResources() {
    static const RESOURCETABLE table = buildTable();
    return table;
}
