// The column import on any text, its choices taken from the first three bytes: what it reads is finite,
// sigmas are finite and not negative, the counts add up, and the same text with every line ending in LF
// reads to the same points, counts and first lines (a line ends alike in CR LF, LF and CR alone, however
// the line is read).
#include "curves/columnreader.h"
#include "curves/curvesb.h"
#include "fuzzcheck.h"

#include <cmath>
#include <cstring>

namespace {

columns::TColumnOptions Choices(const uint8_t* b) {
    columns::TColumnOptions o;
    o.separator = static_cast<columns::TSeparator>(b[0] % 5);
    o.decimal = static_cast<columns::TDecimalMark>(b[0] / 5 % 3);
    o.header = (b[0] & 0x80) != 0;
    o.xColumn = b[1] % 4;
    o.yColumns = {1 + b[1] / 4 % 4};
    if ((b[1] & 0x80) != 0) o.yColumns.push_back(1 + b[2] / 16 % 5);
    o.sigmaColumn = b[1] / 16 % 5 == 4 ? 0 : b[1] / 16 % 5;
    o.skipLines = b[2] % 3;
    const char* comments[] = {"#%!", "", "1", "\"", ";"};
    o.comment = comments[b[2] / 4 % 4];
    return o;
}

std::string LfOnly(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
            continue;
        }
        out += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    return out;
}

void CheckRead(bool ok, const std::vector<TCurveB>& curves, const columns::TColumnReport& r,
               const columns::TColumnOptions& o, const std::string& error) {
    FUZZ_CHECK(r.pointLines <= r.dataLines, "%lld point lines of %lld", static_cast<long long>(r.pointLines),
               static_cast<long long>(r.dataLines));
    if (!ok) {
        FUZZ_CHECK(!error.empty(), "a refusal without a message");
        return;
    }
    FUZZ_CHECK(curves.size() == o.yColumns.size(), "%zu curves", curves.size());
    for (const TCurveB& c : curves) {
        FUZZ_CHECK(c.Count() > 0 && c.Count() <= r.pointLines, "%d points", c.Count());
        FUZZ_CHECK(c.HasSigma() == (o.sigmaColumn > 0), "sigma %d", c.HasSigma());
        for (int32_t i = 1; i <= c.Count(); ++i) {
            FUZZ_CHECK(std::isfinite(c.X(i)) && std::isfinite(c.Y(i)), "point %d (%g, %g)", i, c.X(i),
                       c.Y(i));
            if (c.HasSigma())
                FUZZ_CHECK(std::isfinite(c.Sigma(i)) && c.Sigma(i) >= 0.0, "sigma %d: %g", i, c.Sigma(i));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const columns::TColumnOptions o = Choices(data);
    const std::string_view text = AsText(data + 3, size - 3);
    std::vector<TCurveB> a, b;
    columns::TColumnReport ra, rb;
    std::string ea, eb;
    const bool okA = columns::ReadColumns(text, "in.csv", o, a, ra, ea);
    CheckRead(okA, a, ra, o, ea);
    const std::string lf = LfOnly(text);
    const bool okB = columns::ReadColumns(lf, "in.csv", o, b, rb, eb);
    FUZZ_CHECK(okA == okB && ea == eb, "read %d (%s), with LF line ends %d (%s)", okA, ea.c_str(), okB,
               eb.c_str());
    FUZZ_CHECK(ra.dataLines == rb.dataLines && ra.pointLines == rb.pointLines &&
                   ra.commentLines == rb.commentLines && ra.minColumns == rb.minColumns &&
                   ra.maxColumns == rb.maxColumns,
               "lines %lld/%lld points %lld/%lld comments %lld/%lld columns %d-%d/%d-%d",
               static_cast<long long>(ra.dataLines), static_cast<long long>(rb.dataLines),
               static_cast<long long>(ra.pointLines), static_cast<long long>(rb.pointLines),
               static_cast<long long>(ra.commentLines), static_cast<long long>(rb.commentLines),
               ra.minColumns, ra.maxColumns, rb.minColumns, rb.maxColumns);
    for (int k = 0; k < columns::SkipReasons; ++k) {
        const TLineTally &s = ra.skipped[static_cast<size_t>(k)], &t = rb.skipped[static_cast<size_t>(k)];
        FUZZ_CHECK(s.count == t.count && s.firstLine == t.firstLine && s.firstText == t.firstText,
                   "reason %d: %lld from line %lld, with LF line ends %lld from line %lld", k,
                   static_cast<long long>(s.count), static_cast<long long>(s.firstLine),
                   static_cast<long long>(t.count), static_cast<long long>(t.firstLine));
    }
    if (!okA) return 0;
    for (size_t j = 0; j < a.size(); ++j) {
        FUZZ_CHECK(a[j].Count() == b[j].Count(), "curve %zu: %d points, with LF line ends %d", j,
                   a[j].Count(), b[j].Count());
        for (int32_t i = 1; i <= a[j].Count(); ++i) {
            const bool same = std::memcmp(&a[j].XData()[i - 1], &b[j].XData()[i - 1], sizeof(double)) == 0 &&
                              std::memcmp(&a[j].YData()[i - 1], &b[j].YData()[i - 1], sizeof(double)) == 0 &&
                              (!a[j].HasSigma() || a[j].Sigma(i) == b[j].Sigma(i));
            FUZZ_CHECK(same, "curve %zu point %d: (%g, %g), with LF line ends (%g, %g)", j, i, a[j].X(i),
                       a[j].Y(i), b[j].X(i), b[j].Y(i));
        }
    }
    return 0;
}
