// The text rule of Paste on any text: no crash, only finite points, and the text Copy writes of those points
// pastes back to the same text (each value kept to its 8 digits).
#include "fuzzcheck.h"
#include "plot/w_curve.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TCurveB pasted = ParsePasteText(AsText(data, size));
    for (int32_t i = 1; i <= pasted.Count(); ++i)
        FUZZ_CHECK(std::isfinite(pasted.X(i)) && std::isfinite(pasted.Y(i)), "point %d", i);
    const std::string copied = CurveClipboardText(pasted);
    const TCurveB again = ParsePasteText(copied);
    FUZZ_CHECK(again.Count() == pasted.Count(), "%d points pasted, %d from the copied text", pasted.Count(),
               again.Count());
    FUZZ_CHECK(CurveClipboardText(again) == copied, "the copied text pastes to other values");
    return 0;
}
