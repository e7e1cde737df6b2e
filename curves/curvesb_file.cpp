// The curve file of a curve record: a lenient reader (optional header ended by a "DATA" line, one or more
// numbers a line), read on all cores for a large file, and the writer of its points.
#include "curves/cachelines.h"
#include "curves/curvefile.h"
#include "curves/curvesb.h"
#include "curves/filebytes.h"
#include "curves/parallel.h"
#include "curves/textlines.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The points of whole lines p..end: one number v gives (k, v) with k the number of points so far in this
// stretch plus one, two or more give (first, second). The stretches after the first note where their
// one-number points are, to renumber them once the points before them are counted.
struct TLineReader {
    std::vector<double>& x;
    std::vector<double>& y;
    std::vector<size_t>* lone; // positions in x of one-number points, or null for the first stretch
    size_t limit;              // points to read at most
    bool release;              // the text is a file's mapping: pages read are given back as the reading goes
    // What was passed over: lines holding something but no number and lines with text beside their
    // numbers (each kind counted, with the start of its first line), and whether a line held a third number.
    int64_t skipped = 0, partly = 0;
    const char* firstSkipped = nullptr;
    const char* firstPartly = nullptr;
    bool more = false;

    void Read(const char* const from, const char* const end) {
        double nums[3];
        const size_t first = x.size();
        textlines::ForEach(from, end, release, [&](std::string_view line, const char* start) {
            // Asking for a third number costs nothing on a line of two (the split ends with the line); once
            // one is seen, the rest is split for two again.
            bool dropped = false;
            const int k = curvefile::SplitNumbers(line, nums, more ? 2 : 3, &dropped);
            if (k == 0) {
                if (line.find_first_not_of(" ,\t") != std::string_view::npos && skipped++ == 0)
                    firstSkipped = start;
                return x.size() < limit;
            }
            if (dropped && partly++ == 0) firstPartly = start;
            if (k == 1) {
                if (lone != nullptr) lone->push_back(x.size());
                x.push_back(static_cast<double>(x.size() - first + 1));
                y.push_back(nums[0]);
            } else {
                more = more || k == 3;
                x.push_back(nums[0]);
                y.push_back(nums[1]);
            }
            return x.size() < limit;
        });
    }
};

} // namespace

void TCurveB::ParseText(std::string_view text, bool releaseMapped, TCurveReadNotes* notes) {
    size_t pos = 0;
    curvefile::HeaderSkip(text, pos);
    count_ = 0;
    x_.clear();
    y_.clear();
    DropSigma();
    const char* const begin = text.data() + pos;
    const char* const end = text.data() + text.size();
    const size_t lineLength = textlines::LineLength(begin, end);
    const size_t limit = static_cast<size_t>(INT32_MAX - 16);

    // A large text is cut into stretches of whole lines, one per core, read in parallel. The first stretch
    // is read straight into the curve's arrays; the others are appended in order, their one-number points
    // renumbered, so the curve is the one a single pass gives.
    const std::vector<const char*> cut = textlines::CutForCores(begin, end);
    const size_t parts = cut.size() - 1;
    // Each core moves the headers of its part's arrays on every line: the parts lie apart in memory.
    struct alignas(OwnLinesBytes) TPart {
        std::vector<double> x, y;
        std::vector<size_t> lone;
        int64_t skipped = 0, partly = 0;
        const char* firstSkipped = nullptr;
        const char* firstPartly = nullptr;
        bool more = false;
    };
    std::vector<TPart> later(parts - 1);
    TPart head; // what the first stretch passed over
    textlines::Reserve(
        x_, textlines::ExpectedLines(static_cast<size_t>(cut[1] - begin), lineLength) +
                (parts > 1 ? textlines::ExpectedLines(static_cast<size_t>(end - cut[1]), lineLength) : 0));
    textlines::Reserve(y_, x_.capacity());
    ParallelFor(static_cast<int32_t>(parts), [&](int32_t k) {
        auto note = [](TPart& part, const TLineReader& reader) {
            part.skipped = reader.skipped;
            part.partly = reader.partly;
            part.firstSkipped = reader.firstSkipped;
            part.firstPartly = reader.firstPartly;
            part.more = reader.more;
        };
        if (k == 0) {
            TLineReader reader{x_, y_, nullptr, limit, releaseMapped};
            reader.Read(cut[0], cut[1]);
            note(head, reader);
            return;
        }
        TPart& part = later[static_cast<size_t>(k - 1)];
        const size_t n = static_cast<size_t>(cut[k + 1] - cut[k]);
        textlines::Reserve(part.x, textlines::ExpectedLines(n, lineLength));
        textlines::Reserve(part.y, part.x.capacity());
        TLineReader reader{part.x, part.y, &part.lone, limit, releaseMapped};
        reader.Read(cut[k], cut[k + 1]);
        note(part, reader);
    });
    TCurveReadNotes found;
    const char* firstSkipped = head.firstSkipped;
    const char* firstPartly = head.firstPartly;
    found.skipped.count = head.skipped;
    found.partlyRead.count = head.partly;
    found.moreThanTwo = head.more;
    for (TPart& part : later) {
        found.skipped.count += part.skipped;
        found.partlyRead.count += part.partly;
        found.moreThanTwo = found.moreThanTwo || part.more;
        if (firstSkipped == nullptr) firstSkipped = part.firstSkipped;
        if (firstPartly == nullptr) firstPartly = part.firstPartly;
        const size_t offset = x_.size();
        const size_t take = std::min(part.x.size(), limit - std::min(limit, offset));
        x_.insert(x_.end(), part.x.begin(), part.x.begin() + static_cast<ptrdiff_t>(take));
        y_.insert(y_.end(), part.y.begin(), part.y.begin() + static_cast<ptrdiff_t>(take));
        for (const size_t i : part.lone)
            if (offset + i < x_.size()) x_[offset + i] += static_cast<double>(offset);
        part = TPart();
    }
    if (x_.capacity() > x_.size() + x_.size() / 8 + 64) {
        x_.shrink_to_fit();
        y_.shrink_to_fit();
    }
    count_ = static_cast<int32_t>(x_.size());
    CalcRanges();
    Saved = true;
    if (notes == nullptr) return;
    textlines::Tally(text, firstSkipped, found.skipped);
    textlines::Tally(text, firstPartly, found.partlyRead);
    *notes = std::move(found);
}

TCurveB TCurveB::CreateFromText(std::string_view text, TCurveReadNotes* notes) {
    TCurveB curve;
    curve.ParseText(text, false, notes);
    return curve;
}

TCurveB TCurveB::CreateFromFile(const std::string& fileName, bool init, std::string* error,
                                TCurveReadNotes* notes) {
    (void)init; // the arrays are sized by the points found, so no initial capacity is needed
    TCurveB curve;
    TFileBytes bytes;
    std::string err;
    if (bytes.Open(fileName, err)) {
        curve.ParseText(bytes.Text(), bytes.Mapped(), notes);
        if (curve.Count() == 0) err = fileName + ": no points found";
    }
    curve.FileName = fileName;
    curve.Saved = true;
    if (error != nullptr) *error = err;
    return curve;
}

namespace {
// Lines are formatted in blocks of this many, the blocks of a batch on all cores.
constexpr int32_t FormatBlock = 16384;

// Formats points first .. last - 1 (0-based) of xs and ys as data lines into out, spread over the cores.
void FormatLines(const double* xs, const double* ys, int32_t first, int32_t last, char* out) {
    const int32_t blocks = (last - first + FormatBlock - 1) / FormatBlock;
    ParallelFor(blocks, [&](int32_t k) {
        const int32_t from = first + k * FormatBlock, to = std::min(last, from + FormatBlock);
        char* p = out + static_cast<size_t>(from - first) * curvefile::LineWidth;
        for (int32_t i = from; i < to; ++i, p += curvefile::LineWidth) curvefile::FormatLine(xs[i], ys[i], p);
    });
}
} // namespace

std::string TCurveB::DataText() const {
    std::string out(static_cast<size_t>(count_) * curvefile::LineWidth, ' ');
    FormatLines(x_.data(), y_.data(), 0, count_, out.data());
    return out;
}

bool TCurveB::SaveToFile(const std::string& fileName, const std::string& defaultExt,
                         const std::string& defaultDir, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    for (int32_t i = 1; i <= count_; ++i)
        if (!std::isfinite(X(i)) || !std::isfinite(Y(i)))
            return fail("cannot save to " + fileName + ": point " + std::to_string(i) +
                        " is not a finite number");
    curvefile::TSaveFile file;
    if (!file.OpenForWrite(fileName, defaultExt, ".bak", defaultDir)) return fail(file.Error());
    // A batch of blocks is formatted on all cores, then written in order.
    const int32_t batch = 4 * FormatBlock;
    std::string chunk(static_cast<size_t>(std::min(count_, batch)) * curvefile::LineWidth, ' ');
    for (int32_t first = 0; first < count_; first += batch) {
        const int32_t last = std::min(count_, first + batch);
        FormatLines(x_.data(), y_.data(), first, last, chunk.data());
        if (!file.Write(chunk.data(), static_cast<size_t>(last - first) * curvefile::LineWidth))
            return fail(file.Error());
    }
    if (!file.Commit()) return fail(file.Error());
    FileName = fileName;
    Saved = true;
    return true;
}
