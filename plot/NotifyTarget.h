// The receiving end of the program's numbered notifications. Dialogs, the plot panel and the curve set never
// call a curve window directly: they hold a NotifyTarget (the window, or the panel) and send it a code with
// two integer arguments, waiting until it has been handled.
#pragma once

#include <cstdint>
#include <cstring>

class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    virtual intptr_t Notify(int code, int32_t a, int32_t b) = 0;
};

// Every code of the program, one name each. The sender is named first, the receiver after the arrow; the
// curve window registers a handler per code in the file of the feature that owns it.
namespace notify {
// curve set -> plot panel
constexpr int RebuildImage = 0x401; // rebuild the images at the next paint
// curve set, plot panel -> curve window
constexpr int SetChanged = 0x7E8;      // refresh after a change of the set
constexpr int ZoomModeChanged = 0x7E9; // a: 1 zoom drag mode on, 0 off (zoom rectangle shape only)
constexpr int Repainted = 0x7EA;       // the images were drawn anew: redraw overlays (the fit model)
constexpr int PointPicked = 0x7EB;     // a: the cursor's point index (Enter, or a press while picking)
constexpr int UndoStored = 0x7EC;      // a: 1 an undo curve exists, 0 none
constexpr int MarkDragEnded = 0x7ED;   // a marking drag of shape 1 or 2 ended
// plot panel, fit panel -> curve window. a: 1 on / 0 off; b: 1 = switch the plot cursor itself, 0 = the
// panel reports that it switched the cursor (the window follows with its checks)
constexpr int Cursor = 0x408;
// dialogs -> curve window
constexpr int UndoRequest = 0x40A;      // FFT, smoothing, fit and curve-math dialogs: Undo
constexpr int ActivateCurve = 0x40B;    // FFT dialog, a: curve number to make active
constexpr int PlaceToolWindow = 0x40F;  // a: placement mode; b: width | height << 16; reply left | top << 16
constexpr int AxesAction = 0x416;       // axes dialog, a: 0 apply, 1 reset, 2 load
constexpr int AddConstant = 0x432;      // curve-and-constant dialog: y + c (c packed in a and b)
constexpr int MultiplyConstant = 0x433; // y * c
constexpr int ShiftConstant = 0x434;    // x + c
constexpr int StretchConstant = 0x435;  // x * c
constexpr int CurveMath =
    0x464; // curve-and-curve dialog, a: other curve, b: 1 add 2 subtract 3 divide 4 multiply
constexpr int LoadDisplayProps = 0x496;  // display properties dialog, a: curve number (0 = active)
constexpr int StoreDisplayProps = 0x497; // display properties dialog, a: curve number
constexpr int FitRedrawModel = 0x4FD;    // fit panel: redraw the model over the plot
constexpr int FitInitialGuess = 0x4FE;   // fit panel: every term guesses from the active curve's fit range
constexpr int FitUnhighlight = 0x4FF;    // fit panel: no highlighted term, redraw the model
constexpr int FitPanelShow = 0x500;      // fit panel, a: 1 open, else close
constexpr int FitRangePick = 0x502;      // fit panel, a: 0 left bound, 1 right bound
constexpr int FitMouseMode = 0x503;      // fit panel, a: 1 begin, else end; b: 0 line, 1 mirrored rectangle
constexpr int FitGenerate = 0x505;       // fit panel, a: term index, -1 = whole model
constexpr int FFTHidden = 0x52C;         // FFT dialog was hidden
constexpr int RunFFT = 0x52E;            // FFT dialog: transform the active curve
constexpr int FunctionRange = 0x560;     // function dialog: put the axes' x range into the dialog
constexpr int SmoothHidden = 0x591;      // smoothing dialog was hidden
constexpr int RunSmooth = 0x592;         // smoothing dialog: smooth or regress the active curve
constexpr int FillAverageList = 0x5C2;   // average dialog: fill its list of curves
} // namespace notify

// Two signed 16-bit values in one argument (sizes and positions of PlaceToolWindow): the first in the low 16
// bits, the second in the high 16 bits. Positions left of or above the primary screen are negative.
inline int32_t PackPair(int low, int high) {
    return static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFFu));
}
inline int UnpackLow(int32_t v) {
    return static_cast<int16_t>(static_cast<uint32_t>(v) & 0xFFFFu);
}
inline int UnpackHigh(int32_t v) {
    return static_cast<int16_t>(static_cast<uint32_t>(v) >> 16);
}

// A double travels whole in the two arguments: its low 32 bits in a, its high 32 bits in b.
inline void PackDouble(double v, int32_t& a, int32_t& b) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    a = static_cast<int32_t>(static_cast<uint32_t>(bits));
    b = static_cast<int32_t>(static_cast<uint32_t>(bits >> 32));
}
inline double UnpackDouble(int32_t a, int32_t b) {
    const uint64_t bits = static_cast<uint64_t>(static_cast<uint32_t>(b)) << 32 | static_cast<uint32_t>(a);
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
