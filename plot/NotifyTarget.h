// The receiving end of the program's numbered notifications. Dialogs, the plot panel and the curve set never
// call a curve window directly: they hold a NotifyTarget (the window, or the panel) and send it a code with
// two integer arguments, waiting until it has been handled. A real value travels packed as a 48-bit real, its
// low 16 bits in the first argument and its high 32 bits in the second.
#pragma once

#include <cstdint>

class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    virtual intptr_t Notify(int code, int32_t a, int32_t b) = 0;
};

// Codes sent by the plot layer.
namespace notify {
constexpr int RebuildImage = 0x401; // curve set -> plot panel: rebuild the image at the next paint
constexpr int SetChanged = 0x7E8;   // curve set -> curve window: refresh after a change of the set
constexpr int Repainted = 0x7EA;    // curve set, plot panel -> curve window: redraw overlays (fit model)
} // namespace notify
