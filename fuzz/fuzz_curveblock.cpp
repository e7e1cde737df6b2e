// The "BinaryCurve" block reader on any bytes: no crash; a block it accepts holds only finite values, and
// the block of the curve it made is the same bytes.
#include "fuzzcheck.h"
#include "plot/w_curve.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view block = AsText(data, size);
    TCurveB curve;
    const bool ok = ParseCurveBlock(block, curve);
    if (!ok) {
        FUZZ_CHECK(curve.Count() == 0, "a refused block gave %d points", curve.Count());
        return 0;
    }
    FUZZ_CHECK(block.size() == 16 * static_cast<size_t>(curve.Count()) + 4, "%zu bytes for %d points",
               block.size(), curve.Count());
    for (int32_t i = 1; i <= curve.Count(); ++i)
        FUZZ_CHECK(std::isfinite(curve.X(i)) && std::isfinite(curve.Y(i)), "point %d", i);
    FUZZ_CHECK(CurveBlock(curve) == block, "the block of the curve read differs");
    return 0;
}
