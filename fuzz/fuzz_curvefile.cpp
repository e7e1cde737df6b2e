// The curve file reader on any text, and the round trip of what it read: saved and read again, the curve
// has the same number of points with the same values to the file's 15 digits, and saving it again writes
// the same text.
#include "curves/curvefile.h"
#include "curves/curvesb.h"
#include "fuzzcheck.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
void CheckCurve(const TCurveB& c) {
    FUZZ_CHECK(c.Count() >= 0, "count %d", c.Count());
    double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
    for (int32_t i = 1; i <= c.Count(); ++i) {
        FUZZ_CHECK(std::isfinite(c.X(i)) && std::isfinite(c.Y(i)), "point %d (%g, %g)", i, c.X(i), c.Y(i));
        xmin = std::min(xmin, c.X(i));
        xmax = std::max(xmax, c.X(i));
        ymin = std::min(ymin, c.Y(i));
        ymax = std::max(ymax, c.Y(i));
    }
    if (c.Count() > 0)
        FUZZ_CHECK(c.XMin == xmin && c.XMax == xmax && c.YMin == ymin && c.YMax == ymax,
                   "extremes %g %g %g %g of points %g %g %g %g", c.XMin, c.XMax, c.YMin, c.YMax, xmin, xmax,
                   ymin, ymax);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TCurveB read = TCurveB::CreateFromText(AsText(data, size));
    CheckCurve(read);
    const std::string written = read.DataText();
    FUZZ_CHECK(written.size() == static_cast<size_t>(read.Count()) * curvefile::LineWidth, "%zu bytes",
               written.size());
    const TCurveB back = TCurveB::CreateFromText(written);
    CheckCurve(back);
    FUZZ_CHECK(back.Count() == read.Count(), "%d points read back, %d written", back.Count(), read.Count());
    char a[curvefile::NumberWidth], b[curvefile::NumberWidth];
    for (int32_t i = 1; i <= read.Count(); ++i)
        for (const auto& [v, w] : {std::pair{read.X(i), back.X(i)}, std::pair{read.Y(i), back.Y(i)}}) {
            curvefile::FormatNumber(v, a);
            curvefile::FormatNumber(w, b);
            FUZZ_CHECK(std::memcmp(a, b, sizeof a) == 0, "point %d: %.17g read back as %.17g", i, v, w);
        }
    FUZZ_CHECK(back.DataText() == written, "saving what was read back writes another text");
    return 0;
}
