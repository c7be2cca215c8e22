#pragma once
// Resources as C++ data: dialog templates, menus, dialog-initialisation data and string tables that a module
// registers under its instance handle, found through the current resource handle as the class library finds
// them (the resource handle first, then every extension module in the order it was attached, then the host).
#include <vector>

#include "win/WinTypes.h"

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;

// Dialog styles.
constexpr DWORD DS_ABSALIGN = 0x01;
constexpr DWORD DS_SYSMODAL = 0x02;
constexpr DWORD DS_3DLOOK = 0x04;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_SETFOREGROUND = 0x200;
constexpr DWORD DS_CONTROL = 0x400;
constexpr DWORD DS_CENTER = 0x800;
constexpr DWORD DS_SHELLFONT = 0x48;

// Static styles.
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;
constexpr DWORD SS_NOTIFY = 0x100;

// Edit styles.
constexpr DWORD ES_LEFT = 0x0;
constexpr DWORD ES_CENTER = 0x1;
constexpr DWORD ES_RIGHT = 0x2;
constexpr DWORD ES_MULTILINE = 0x4;
constexpr DWORD ES_UPPERCASE = 0x8;
constexpr DWORD ES_LOWERCASE = 0x10;
constexpr DWORD ES_PASSWORD = 0x20;
constexpr DWORD ES_AUTOVSCROLL = 0x40;
constexpr DWORD ES_AUTOHSCROLL = 0x80;
constexpr DWORD ES_NOHIDESEL = 0x100;
constexpr DWORD ES_READONLY = 0x800;
constexpr DWORD ES_WANTRETURN = 0x1000;
constexpr DWORD ES_NUMBER = 0x2000;

// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_RADIOBUTTON = 0x4;
constexpr DWORD BS_3STATE = 0x5;
constexpr DWORD BS_AUTO3STATE = 0x6;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
constexpr DWORD BS_TYPEMASK = 0xF;
constexpr DWORD BS_LEFTTEXT = 0x20;

// Combo box styles.
constexpr DWORD CBS_SIMPLE = 0x1;
constexpr DWORD CBS_DROPDOWN = 0x2;
constexpr DWORD CBS_DROPDOWNLIST = 0x3;
constexpr DWORD CBS_AUTOHSCROLL = 0x40;
constexpr DWORD CBS_SORT = 0x100;
constexpr DWORD CBS_HASSTRINGS = 0x200;
constexpr DWORD CBS_NOINTEGRALHEIGHT = 0x400;

// List box styles.
constexpr DWORD LBS_NOTIFY = 0x1;
constexpr DWORD LBS_SORT = 0x2;
constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x100;
constexpr DWORD LBS_HASSTRINGS = 0x40;
constexpr DWORD LBS_STANDARD = 0x00A00003;

// Tab control styles.
constexpr DWORD TCS_FIXEDWIDTH = 0x400;
constexpr DWORD TCS_TABS = 0x0;

// Window classes of template controls.
#define WC_BUTTON L"Button"
#define WC_STATIC L"Static"
#define WC_EDIT L"Edit"
#define WC_COMBOBOX L"ComboBox"
#define WC_LISTBOX L"ListBox"
#define WC_TABCONTROL L"SysTabControl32"

constexpr int IDC_STATIC = -1;

// One control of a dialog template: rectangle in dialog units.
struct DLGITEMDEF {
    const wchar_t* className = WC_STATIC;
    int id = IDC_STATIC;
    const wchar_t* text = L"";
    DWORD style = WS_CHILD | WS_VISIBLE;
    int x = 0, y = 0, cx = 0, cy = 0;
};

// A dialog template. The font is kept for the record; a dialog unit maps to pixels with fixed base units.
struct DLGTEMPLATEDEF {
    UINT id = 0;
    const wchar_t* caption = L"";
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const wchar_t* fontName = L"MS Shell Dlg";
    int fontSize = 8;
    int x = 0, y = 0, cx = 0, cy = 0;
    UINT menuId = 0;
    std::vector<DLGITEMDEF> items{};
};

// A menu item; one with sub-items is a pop-up. A null text is a separator.
struct MENUITEMDEF {
    const wchar_t* text = nullptr;
    UINT id = 0;
    std::vector<MENUITEMDEF> items{};
};

struct MENUDEF {
    UINT id = 0;
    std::vector<MENUITEMDEF> items{};
};

// Strings added to a combo or list box of a dialog when the dialog initialises.
struct DLGINITDEF {
    UINT dialogId = 0;
    int controlId = 0;
    std::vector<const wchar_t*> strings{};
};

struct STRINGDEF {
    UINT id = 0;
    const wchar_t* text = L"";
};

// Everything one module supplies. It must outlive its registration.
struct RESOURCETABLE {
    std::vector<DLGTEMPLATEDEF> dialogs{};
    std::vector<MENUDEF> menus{};
    std::vector<DLGINITDEF> dialogInits{};
    std::vector<STRINGDEF> strings{};
};

// Registers a module's resources under its instance handle (null handle: the host's own resources).
void AfxRegisterResources(HINSTANCE hInstance, const RESOURCETABLE* table);
void AfxUnregisterResources(HINSTANCE hInstance);

HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstance);

// Lookups along the search order; null when no module has it. `found` receives the instance that held it.
// Strings are also looked up in the string tables modules register with win::registerModule.
const DLGTEMPLATEDEF* AfxFindDialogTemplate(UINT id, HINSTANCE* found = nullptr);
const MENUDEF* AfxFindMenu(UINT id, HINSTANCE* found = nullptr);
const wchar_t* AfxFindString(UINT id, HINSTANCE* found = nullptr);
// Lookup in one module only (as LoadString with an explicit module does).
const wchar_t* AfxFindStringIn(HINSTANCE hInstance, UINT id);
// The initialisation strings of one control, from the module that supplied the dialog's template.
std::vector<const wchar_t*> AfxFindDialogInit(HINSTANCE hInstance, UINT dialogId, int controlId);

// Extension-module record: attached in the module's entry, it puts the module's resources on the search chain
// through a CDynLinkLibrary.
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized = FALSE;
    HMODULE hModule = nullptr;
    HMODULE hResource = nullptr;
};

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
// Takes the module's libraries off the chain and deletes them.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

class CDynLinkLibrary {
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    virtual ~CDynLinkLibrary();
    CDynLinkLibrary(const CDynLinkLibrary&) = delete;
    CDynLinkLibrary& operator=(const CDynLinkLibrary&) = delete;

    HMODULE m_hModule;
    HMODULE m_hResource;
};

// Makes a module's resources current for a scope and puts the previous handle back at its end. Without an
// argument it takes the last extension module attached.
class CAcModuleResourceOverride {
public:
    explicit CAcModuleResourceOverride(HINSTANCE hInstance = nullptr);
    ~CAcModuleResourceOverride();
    CAcModuleResourceOverride(const CAcModuleResourceOverride&) = delete;
    CAcModuleResourceOverride& operator=(const CAcModuleResourceOverride&) = delete;

private:
    HINSTANCE m_previous;
};
