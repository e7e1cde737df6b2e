// The command table of a curve window: one row per menu item, toolbar button and popup item, with what the
// user sees of it, where it stands, when it can be used and what runs it. The menus, the three toolbar bands
// and the popup menu are built from it, and one function computes every enabled state from it.
#pragma once

#include <cstdint>
#include <span>

class Tcurvewindow;

// Where a row stands; rows of one place appear in table order.
enum class TPlace : uint8_t {
    FileMenu,
    EditMenu,
    ViewMenu,
    ZoomMenu, // the Zoom submenu of the View menu
    OperateMenu,
    WindowMenu,
    HelpMenu,
    Band1,
    Band2,
    Band3,
    Popup,
};

// When a command can be used. In the popup menu a command that needs a curve is hidden, not disabled, while
// the set is empty.
enum class TEnable : uint8_t {
    Always,
    Curve,         // the set has curves
    TwoCurves,     // the set has at least two curves
    Undo,          // the undo history has a step to take back
    Redo,          // the undo history has a step taken back that can be done again
    ClipboardText, // the clipboard holds a curve (text or a curve block)
};

enum TCommandFlag : uint16_t {
    Checkable = 1,     // a toggle: its check follows `state`
    InitiallyOn = 2,   // checked at creation (before any state getter exists)
    KeepDuringFit = 4, // stays usable while the fit panel is open
    TextButton = 8,    // a toolbar button showing its caption instead of an icon
    Separator = 16,    // a separator line (name, caption and handlers unused)
    Submenu = 32,      // the row opens the Zoom submenu
};

struct TCommand {
    TPlace place;
    const char* name;     // object name of the action
    const char* caption;  // with & before the mnemonic
    const char* hint;     // "short|long", or one text that serves as both
    const char* shortcut; // QKeySequence text, or ""
    const char* icon;     // file name under :/icons/ without .svg, or ""
    TEnable enable;
    uint16_t flags;
    void (Tcurvewindow::*run)();           // a plain command
    void (Tcurvewindow::*toggle)(bool on); // a toggle, with its new state
    bool (Tcurvewindow::*state)() const;   // a toggle's present state
    // A row without a handler (run and toggle both null) is a command the program does not offer yet: it is
    // hidden and its shortcut does nothing.
    bool Built() const { return run != nullptr || toggle != nullptr || (flags & (Separator | Submenu)) != 0; }
};

std::span<const TCommand> CommandTable();
