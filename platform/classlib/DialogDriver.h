#pragma once
// The dialog driver: lists the live dialogs, dumps one as text and acts on it as a user would (typing,
// clicking, choosing items, tabs, menu commands, the close box, Escape, Enter). Tests and cadhost use it; a
// modal dialog's loop runs the actions queued here, then asks the host's action source for more, and is
// cancelled when neither has any left.
#include <functional>
#include <string>
#include <vector>

#include "classlib/Dialog.h"

namespace classlib {

struct DriverResult {
    bool ok = true;
    std::wstring message; // the refusal or failure; for a success, a remark (such as refused keystrokes)
    explicit operator bool() const { return ok; }
};

class DialogDriver {
public:
    // ---- pending actions -------------------------------------------------------------------------------------
    using Action = std::function<void()>;
    // Runs one pending host action (a script line, say); false when the host has none left.
    using ActionSource = std::function<bool()>;

    static void queue(Action action);
    static void setActionSource(ActionSource source);
    static void clearQueue();
    // Whether a posted message or a queued action waits.
    static bool hasPending();
    // Handles one posted message, or runs one queued action, or asks the source; false when nothing ran.
    static bool pumpOne();
    // Handles every posted message.
    static void runPosted();

    // ---- finding and looking -----------------------------------------------------------------------------------
    // Live top-level dialogs, top of the z-order first.
    static std::vector<HWND> dialogs();
    // The dialog actions go to: the innermost running modal dialog, else the active dialog, else the topmost
    // visible one; null when there is none.
    static HWND current();
    // By template id (digits) or caption (without regard to case); visible ones first.
    static HWND find(const std::wstring& templateIdOrCaption);
    static std::wstring list();
    static std::wstring dump(HWND dialog);

    // ---- acting ----------------------------------------------------------------------------------------------
    // A control is named by its id, or by "PAGE/ID" for a control of the child dialog from template PAGE.
    // Hidden or disabled controls (or dialogs) are refused with a reason unless `force` is set.
    static DriverResult setText(HWND dialog, const std::wstring& control, const std::wstring& text, bool force = false);
    static DriverResult typeText(HWND dialog, const std::wstring& control, const std::wstring& text,
                                 bool force = false);
    static DriverResult click(HWND dialog, const std::wstring& control, bool force = false);
    // An item by index (digits) or by text (exact, then without regard to case, then as a prefix).
    static DriverResult select(HWND dialog, const std::wstring& control, const std::wstring& item, bool force = false);
    static DriverResult doubleClick(HWND dialog, const std::wstring& control, const std::wstring& item,
                                    bool force = false);
    static DriverResult check(HWND dialog, const std::wstring& control, bool checked, bool force = false);
    static DriverResult radio(HWND dialog, const std::wstring& control, bool force = false);
    static DriverResult tab(HWND dialog, const std::wstring& control, int index, bool force = false);
    static DriverResult menu(HWND dialog, UINT commandId, bool force = false);
    static DriverResult close(HWND dialog, bool force = false);
    static DriverResult escape(HWND dialog, bool force = false);
    static DriverResult enter(HWND dialog, bool force = false);

    // ---- events ------------------------------------------------------------------------------------------------
    // Told when a dialog is created, shown, hidden, minimised, restored or closed.
    using EventListener = std::function<void(HWND dialog, const std::string& event)>;
    static void setEventListener(EventListener listener);
};

} // namespace classlib
