// The session reader on any text: no crash, no value the program cannot use, and a session it takes is
// written and read back to the same text.
#include "fuzzcheck.h"
#include "plot/session.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TSession session;
    QString why;
    if (!SessionFromJson(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                         session, why)) {
        FUZZ_CHECK(!why.isEmpty(), "a refusal without a reason");
        return 0;
    }
    FUZZ_CHECK(!session.windows.empty() && session.windows.size() <= MaxSessionWindows, "%zu windows",
               session.windows.size());
    for (const TSessionWindow& w : session.windows) {
        FUZZ_CHECK(w.curves.size() <= 100 && w.active >= 0 &&
                       static_cast<size_t>(w.active) <= w.curves.size(),
                   "active %d of %zu", w.active, w.curves.size());
        FUZZ_CHECK(w.axes.WorldMin.x < w.axes.WorldMax.x && w.axes.WorldMin.y < w.axes.WorldMax.y, "axes");
        for (const TPlottedCurve& c : w.curves)
            for (int32_t i = 1; i <= c.Count(); ++i)
                FUZZ_CHECK(std::isfinite(c.X(i)) && std::isfinite(c.Y(i)), "point %d", i);
    }
    const QByteArray text = SessionToJson(session);
    TSession again;
    FUZZ_CHECK(SessionFromJson(text, again, why), "written session refused: %s", qPrintable(why));
    FUZZ_CHECK(SessionToJson(again) == text, "a session read back differs");
    return 0;
}
