// The curves of one curve window: at most 100, numbered from 1, one of them active, with the combined x and y
// range of all of them. The set owns its curves; they enter only as copies.
#pragma once

#include "plot/coord_win.h"
#include "plot/curve_plot.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TCurveSet {
public:
    static constexpr int32_t MaxCurves = 100;

    TCurveSet() = default;
    TCurveSet(const TCurveSet&) = delete;
    TCurveSet& operator=(const TCurveSet&) = delete;
    virtual ~TCurveSet() = default;

    int32_t Active() const { return active_; }
    int32_t Count() const { return count_; }
    RealPoint Min{0.0, 0.0};
    RealPoint Max{0.0, 0.0};

    // Curve n, 1 <= n <= Count (nullptr otherwise).
    TPlottedCurve* Curve(int32_t n);
    const TPlottedCurve* Curve(int32_t n) const;
    TPlottedCurve* ActiveCurve() { return Curve(active_); }
    const TPlottedCurve* ActiveCurve() const { return Curve(active_); }

    // Active = n when 0 <= n <= Count; otherwise nothing.
    virtual void SetActive(int32_t n);
    // Frees curves n + 1 .. Count when 0 <= n <= Count; Active follows when it was above n.
    virtual void SetCount(int32_t n);
    // Frees slot index and moves the slots above it, up to `count`, down by one; Count does not change.
    virtual void DeleteSlot(int32_t index, int32_t count);
    // Adds the curve (points and header, default style) as curve Count + 1 and takes its ranges in; a
    // caller that no longer needs its curve moves it in rather than have it copied. A full set refuses the
    // curve and returns false: nothing already in it is given up.
    virtual bool Add(TCurveB curve);
    // Frees curve index (1..Count); the curves after it move down by one.
    virtual void Remove(int32_t index);

    // Puts `curve` into slot n (1..Count) and returns the curve it held, for the undo of the panel.
    std::unique_ptr<TPlottedCurve> ReplaceSlot(int32_t n, std::unique_ptr<TPlottedCurve> curve);

    // Min and Max from the curves' own ranges ((0, 0) and (10, 10) when no curve has points).
    void MergeRanges();
    // Every curve recomputes its ranges, then MergeRanges.
    void RecomputeRanges();

    // The Average curves command on the curves numbered in `numbers` (list order): averaged on an even grid
    // with the smallest spacing (evenSpacing) or at the x values of the first listed curve, or merged into
    // the union of their points. Fewer than two numbers, or a number that is no curve of the set, does
    // nothing and returns false. Run under the arithmetic-fault guard: a zero spacing or an uncovered grid
    // value leaves a non-finite value in result.
    bool Average(std::span<const int32_t> numbers, TCurveB& result, bool evenSpacing) const;
    bool Merge(std::span<const int32_t> numbers, TCurveB& result) const;

protected:
    bool Listed(std::span<const int32_t> numbers, std::vector<const TCurveB*>& list) const;

    int32_t active_ = 0;
    int32_t count_ = 0;
    std::array<std::unique_ptr<TPlottedCurve>, MaxCurves> curves_;
};
