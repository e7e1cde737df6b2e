#include "app/commandtable.h"

#include "app/curvewin.h"

namespace {
using W = Tcurvewindow;
using P = TPlace;
using E = TEnable;

constexpr uint16_t Toggle = Checkable;
constexpr uint16_t Fit = KeepDuringFit;

// A plain command, a toggle, a separator.
constexpr TCommand Run(P place, const char* name, const char* caption, const char* hint, const char* shortcut,
                       const char* icon, E enable, uint16_t flags, void (W::*run)()) {
    return {place, name, caption, hint, shortcut, icon, enable, flags, run, nullptr, nullptr};
}
constexpr TCommand Tog(P place, const char* name, const char* caption, const char* hint, const char* shortcut,
                       const char* icon, E enable, uint16_t flags, void (W::*toggle)(bool),
                       bool (W::*state)() const) {
    return {place,   name,   caption, hint, shortcut, icon, enable, uint16_t(flags | Toggle),
            nullptr, toggle, state};
}
constexpr TCommand Sep(P place, E enable = E::Always) {
    return {place, nullptr, "", "", "", "", enable, Separator, nullptr, nullptr, nullptr};
}

// Commands the program does not offer yet have no handler: they are hidden and their keys do nothing.
[[maybe_unused]] constexpr void (W::*Later)() = nullptr;

const TCommand Table[] = {
    // File menu
    Run(P::FileMenu, "NewCurve1", "&New curve", "Enter data or define a function for a new curve", "Ctrl+N",
        "", E::Always, 0, &W::NewCurveClick),
    Run(P::FileMenu, "Open1", "&Open", "Open an ASCII curve file", "Ctrl+O", "", E::Always, 0, &W::OpenCurve),
    Run(P::FileMenu, "Import1", "&Import...", "Import columns of a spreadsheet or instrument file", "Ctrl+I",
        "", E::Always, 0, &W::ImportData),
    Run(P::FileMenu, "Save1", "&Save", "Save the active curve as an ASCII file", "Ctrl+S", "", E::Curve, Fit,
        &W::SaveActive),
    Run(P::FileMenu, "SaveAs1", "Save &As", "Save active curve under a different filename", "Ctrl+W", "",
        E::Curve, Fit, &W::SaveActiveAs),
    Sep(P::FileMenu),
    Run(P::FileMenu, "OpenSession1", "Open s&ession...",
        "Open a saved session: its windows with their curves, axes and fit models", "", "", E::Always, 0,
        &W::OpenSessionClick),
    Run(P::FileMenu, "SaveSession1", "Save sess&ion...",
        "Save every window with its curves, axes and fit model as a session", "", "", E::Always, Fit,
        &W::SaveSessionClick),
    Sep(P::FileMenu),
    Run(P::FileMenu, "Close1", "&Close", "Close the active curve", "", "", E::Curve, 0, &W::DeleteCurve),
    Run(P::FileMenu, "Closeall1", "&Close al&l", "Close all curves", "", "", E::Curve, 0, &W::ClearAll),
    Sep(P::FileMenu),
    Run(P::FileMenu, "ExportData1", "Export &data...",
        "Save the active curve as CSV or tab-separated columns", "", "", E::Curve, Fit, &W::ExportData),
    Run(P::FileMenu, "ExportGraph1", "Export &graph...", "Save the graph as a PNG, SVG or PDF picture", "",
        "", E::Always, 0, &W::ExportGraph),
    Run(P::FileMenu, "Print1", "&Print...", "Print the graph on the currently selected printer", "Ctrl+P", "",
        E::Always, 0, &W::PrintGraph),
    Run(P::FileMenu, "PrintSetup1", "P&rint Setup...", "Setup the printer", "", "", E::Always, 0,
        &W::PrintSetup),
    Sep(P::FileMenu),
    Run(P::FileMenu, "Exit1", "E&xit", "Quit Graphmill", "Ctrl+Q", "", E::Always, 0, &W::Exit),

    // Edit menu
    Run(P::EditMenu, "Undo1", "&Undo", "Undo last operation", "Ctrl+Z", "", E::Undo, 0, &W::UndoLast),
    Run(P::EditMenu, "Redo1", "&Redo", "Redo the operation undone last", "Ctrl+Y; Ctrl+Shift+Z", "", E::Redo,
        0, &W::RedoNext),
    Run(P::EditMenu, "Undohistory1", "Undo &history", "Show the steps that can be undone and go back to any",
        "", "", E::Always, 0, &W::UndoHistoryClick),
    Sep(P::EditMenu),
    Run(P::EditMenu, "Cut1", "Cu&t", "Remove active curve from screen and copy to clipboard", "Ctrl+X", "",
        E::Curve, 0, &W::CutCurve),
    Run(P::EditMenu, "Copy1", "&Copy", "Copy active curve to clipboard", "Ctrl+C", "", E::Curve, 0,
        &W::CopyCurve),
    Run(P::EditMenu, "Paste1", "&Paste", "Paste curve data from the clipboard, creating a new curve",
        "Ctrl+V", "", E::ClipboardText, 0, &W::PasteCurve),
    Run(P::EditMenu, "Delete1", "&Delete", "Remove the active curve", "Del", "", E::Curve, 0,
        &W::DeleteCurve),
    Run(P::EditMenu, "Clearall1", "Clear a&ll", "Remove all curves from the screen", "", "", E::Curve, 0,
        &W::ClearAll),
    Sep(P::EditMenu),
    Run(P::EditMenu, "Curvedata1", "Cu&rve data", "Edit the active curve data using a spreadsheet table", "",
        "", E::Curve, 0, &W::TableClick),
    Run(P::EditMenu, "Curvedisplay1", "Curve displa&y", "Change the appearance of the active curve", "", "",
        E::Curve, 0, &W::CurveDisplay),
    Run(P::EditMenu, "Axes1", "&Axes", "Edit the axes attributes (range, title, type)", "", "", E::Curve, 0,
        &W::AxesClick),
    Run(P::EditMenu, "Preferences1", "&Preferences", "Set Graphmill preferences", "", "", E::Always, 0,
        &W::PreferencesClick),

    // View menu
    Tog(P::ViewMenu, "Cursor1", "&Cursor", "Turn on the crosshair cursor", "", "", E::Curve, Fit,
        &W::SwitchCursor, &W::CursorShown),
    {P::ViewMenu, "Zoom1", "&Zoom", "", "", "", E::Curve, uint16_t(Submenu | Fit), nullptr, nullptr, nullptr},
    Run(P::ZoomMenu, "In1", "In", "Zoom window in (requires you to click-and-drag)", "", "", E::Curve, Fit,
        &W::ZoomInClick),
    Run(P::ZoomMenu, "Out1", "Out", "Zoom window out", "", "", E::Curve, Fit, &W::ZoomOut),
    Run(P::ZoomMenu, "ZoomFit1", "Fit", "Show all curves (rescale the axes to the curves)", "F", "", E::Curve,
        Fit, &W::ZoomToFit),
    Tog(P::ViewMenu, "Rangeautoupdate1", "&Range auto-update", "Sets window range auto-update mode", "", "",
        E::Always, InitiallyOn, &W::SetAutoUpdate, &W::AutoUpdateOn),
    Tog(P::ViewMenu, "toolbar1", "toolbar", "", "", "", E::Always, InitiallyOn, &W::ShowToolbar,
        &W::ToolbarShown),
    Tog(P::ViewMenu, "Legend1", "&Legend", "Show a box naming each curve beside its line and symbol", "", "",
        E::Always, Fit, &W::ShowLegend, &W::LegendShown),
    Tog(P::ViewMenu, "RoundTicks1", "Round tick values",
        "Divide the axes on round values (1, 2 or 5 times a power of ten)", "", "", E::Always, Fit,
        &W::SetRoundTicks, &W::RoundTicksOn),

    // Operate menu; the hints are the long parts of the toolbar hints.
    Run(P::OperateMenu, "Integral1", "Integral", "Integrate the active curve", "", "", E::Curve, 0,
        &W::IntegralClick),
    Run(P::OperateMenu, "Derivative1", "Derivative", "Take the derivative of the active curve", "", "",
        E::Curve, 0, &W::DerivativeClick),
    Run(P::OperateMenu, "X1", "*X", "Multiply Y values of the acitve curve by X values", "", "", E::Curve, 0,
        &W::TimesXClick),
    Run(P::OperateMenu, "Inverse1", "Inverse", "Take the reciprocal of each point in the active curve", "",
        "", E::Curve, 0, &W::InverseClick),
    Run(P::OperateMenu, "Logarithm1", "Logarithm", "Common logarithm of the active curve values", "", "",
        E::Curve, 0, &W::LogClick),
    Run(P::OperateMenu, "Curveconstant1", "Curve*constant",
        "Perform a math operation between a constant and the active curve", "", "", E::Curve, 0,
        &W::CurveConstantClick),
    Sep(P::OperateMenu),
    Run(P::OperateMenu, "Fit1", "Fit", "Open non-linear curve fitting panel", "Ctrl+F", "", E::Curve, Fit,
        &W::FitClick),
    Run(P::OperateMenu, "FFT1", "FFT", "Open fast Forrier transform dialog", "", "", E::Curve, 0,
        &W::FFTClick),
    Run(P::OperateMenu, "Interpolate1", "Interpolate", "Open data interpolation dialog", "", "", E::Curve, 0,
        &W::InterpolateClick),
    Run(P::OperateMenu, "Removerange1", "Remove range", "Remove a range of data from the active curve", "",
        "", E::Curve, 0, &W::BeginRemoveRange),
    Run(P::OperateMenu, "Smooth1", "Smooth/Regression", "Opens smoothing dialog", "Ctrl+R", "", E::Curve, 0,
        &W::SmoothClick),
    Run(P::OperateMenu, "Averagecurves1", "Average curves", "Average several curves", "Ctrl+A", "",
        E::TwoCurves, 0, &W::AverageClick),
    Run(P::OperateMenu, "Curvemath1", "Curve math", "Perform a math operation between two curves", "", "",
        E::TwoCurves, 0, &W::CurveMathClick),

    // Window and Help menus
    Run(P::WindowMenu, "Cascade1", "&Cascade", "Cascade all curve windows", "", "", E::Always, 0,
        &W::Cascade),
    Run(P::WindowMenu, "Tile1", "&Tile", "Tile all curve windows", "", "", E::Always, 0, &W::TileClick),
    Sep(P::WindowMenu),
    Run(P::WindowMenu, "NewWindow1", "New &Window", "Open a new curve window", "", "", E::Always, 0,
        &W::NewWindowClick),
    Run(P::WindowMenu, "CloseWindow1", "C&lose Window", "Close this curve window", "", "", E::Always, 0,
        &W::CloseWindow),
    Run(P::HelpMenu, "About1", "&About...", "About Graphmill", "", "", E::Always, 0, &W::About),
    Run(P::HelpMenu, "Contents1", "&Contents", "Open help file contents", "", "", E::Always, 0,
        &W::HelpContents),

    // Toolbar, band 1
    Run(P::Band1, "NewBtn", "New", "New|Create a new curve", "", "new", E::Always, 0, &W::NewCurveClick),
    Run(P::Band1, "LoadBtn", "Load", "Load a curve", "", "open", E::Always, 0, &W::OpenCurve),
    Run(P::Band1, "SaveBtn", "Save", "Save active curve", "", "save", E::Curve, Fit, &W::SaveActive),
    Run(P::Band1, "AxesBtn", "Axes", "Axes|Open axes/title format dialog", "", "axes", E::Curve, 0,
        &W::AxesClick),
    Run(P::Band1, "CutBtn", "Cut", "Cut|Cuts the active curve", "", "cut", E::Curve, 0, &W::CutCurve),
    Run(P::Band1, "PasteBtn", "Paste", "Paste|Pastes a curve from the clipboard", "", "paste",
        E::ClipboardText, 0, &W::PasteCurve),
    Run(P::Band1, "ZoomOutBtn", "Zoom out", "Zoom out|Zoom the display window out", "", "zoomout", E::Curve,
        Fit, &W::ZoomOut),
    Tog(P::Band1, "ZoomInBtn", "Zoom in", "Zoom in|Custom-zoom by clicking and dragging in the window", "",
        "zoomin", E::Curve, Fit, &W::ZoomIn, &W::ZoomModeOn),
    Tog(P::Band1, "CursorBtn", "Cursor", "Cursor|Turns the curve cursor on/off", "", "cursor", E::Curve, Fit,
        &W::SwitchCursor, &W::CursorShown),
    Tog(P::Band1, "NewCurveModeBtn", "New curve mode", "New curve mode|Turns new-curve mode on/off", "",
        "newcurvemode", E::Curve, Fit, &W::SetNewCurveMode, &W::NewCurveModeOn),
    Tog(P::Band1, "AutoUpdateBtn", "Auto update", "Auto update|Turns auto update of axes range on/off", "",
        "autoupdate", E::Always, InitiallyOn, &W::SetAutoUpdate, &W::AutoUpdateOn),
    Run(P::Band1, "TableBtn", "Table", "Table|Allow editting of active curve in a spreadsheet table", "",
        "table", E::Curve, 0, &W::TableClick),

    // Band 2
    Tog(P::Band2, "FitBtn", "Fit", "Curve fitting|Open non-linear curve fitting panel", "", "fit", E::Curve,
        Fit, &W::FitToggle, &W::FitPanelShowing),
    Run(P::Band2, "FFTBtn", "FFT", "FFT|Open fast Forrier transform dialog", "", "fft", E::Curve, 0,
        &W::FFTClick),
    Run(P::Band2, "InterpolateBtn", "Interpolate", "Interpolate|Open data interpolation dialog", "",
        "interpolate", E::Curve, 0, &W::InterpolateClick),
    Tog(P::Band2, "RemoveRangeBtn", "Remove range",
        "Remove range|Remove a range of data from the active curve", "", "removerange", E::Curve, 0,
        &W::RemoveRangeToggle, &W::RangePickOn),
    Run(P::Band2, "SmoothBtn", "Smooth", "Smoothing / Regressions|Opens smoothing dialog", "", "smooth",
        E::Curve, 0, &W::SmoothClick),
    Run(P::Band2, "CurveMathBtn", "Curve math", "Curve math|Perform a math operation between two curves", "",
        "curvemath", E::TwoCurves, 0, &W::CurveMathClick),
    Run(P::Band2, "AverageBtn", "Average", "Average|Average several curves", "", "average", E::TwoCurves, 0,
        &W::AverageClick),

    // Band 3
    Run(P::Band3, "FunctionBtn", "function", "function|Generate a function from a formula you type in", "",
        "function", E::Always, 0, &W::FunctionClick),
    Run(P::Band3, "DerivativeBtn", "Derivative", "Derivative|Take the derivative of the active curve", "",
        "derivative", E::Curve, 0, &W::DerivativeClick),
    Run(P::Band3, "IntegralBtn", "Integral", "Integral|Integrate the active curve", "", "integral", E::Curve,
        0, &W::IntegralClick),
    Run(P::Band3, "TimesXBtn", "*X", "*X|Multiply Y values of the acitve curve by X values", "", "timesx",
        E::Curve, 0, &W::TimesXClick),
    Run(P::Band3, "InverseBtn", "Inverse", "Inverse|Take the reciprocal of each point in the active curve",
        "", "inverse", E::Curve, 0, &W::InverseClick),
    Run(P::Band3, "LogBtn", "log ", "Log|Common logarithm of the active curve values", "", "", E::Curve,
        TextButton, &W::LogClick),
    Run(P::Band3, "MathBtn", "Math", "Math|Perform a math operation between a constant and the active curve",
        "", "math", E::Curve, 0, &W::CurveConstantClick),

    // Popup menu of the plot. Items that need a curve are hidden while the set is empty.
    Run(P::Popup, "PopSave", "&Save curve", "Save the active curve as an ASCII file", "", "", E::Curve, Fit,
        &W::SaveActive),
    Run(P::Popup, "PopOpen", "&Open curve", "Open an ASCII curve file", "", "", E::Always, 0, &W::OpenCurve),
    Sep(P::Popup),
    Run(P::Popup, "PopCut", "&Cut", "Remove active curve from screen and copy to clipboard", "Ctrl+X", "",
        E::Curve, 0, &W::CutCurve),
    Run(P::Popup, "PopClear", "C&lear", "Remove the active curve", "Del", "", E::Curve, 0, &W::DeleteCurve),
    Run(P::Popup, "PopCopy", "&Copy", "Copy active curve to clipboard", "Ctrl+C", "", E::Curve, 0,
        &W::CopyCurve),
    Run(P::Popup, "PopPaste", "&Paste", "Paste curve data from the clipboard, creating a new curve", "Ctrl+V",
        "", E::ClipboardText, 0, &W::PasteCurve),
    Sep(P::Popup, E::Curve),
    Run(P::Popup, "PopTable", "&Table", "Edit the active curve data using a spreadsheet table", "", "",
        E::Curve, 0, &W::TableClick),
    Run(P::Popup, "PopDisplay", "&Display properties", "Change the appearance of the active curve", "", "",
        E::Curve, 0, &W::CurveDisplay),
    Tog(P::Popup, "PopCursor", "C&ursor", "Turn on the crosshair cursor", "", "", E::Curve, Fit,
        &W::SwitchCursor, &W::CursorShown),
};
} // namespace

std::span<const TCommand> CommandTable() {
    return Table;
}
