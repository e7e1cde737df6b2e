#include "plot/CurveSet.h"

#include <algorithm>

TPlottedCurve* TCurveSet::Curve(int32_t n) {
    return n >= 1 && n <= count_ ? curves_[static_cast<size_t>(n - 1)].get() : nullptr;
}

const TPlottedCurve* TCurveSet::Curve(int32_t n) const {
    return n >= 1 && n <= count_ ? curves_[static_cast<size_t>(n - 1)].get() : nullptr;
}

void TCurveSet::SetActive(int32_t n) {
    // A negative number is no curve either; 0 means none is active.
    if (n >= 0 && n <= count_) active_ = n;
}

void TCurveSet::SetCount(int32_t n) {
    if (n < 0 || n > count_) return;
    for (int32_t i = n; i < count_; ++i) curves_[static_cast<size_t>(i)].reset();
    count_ = n;
    if (active_ > n) active_ = n;
}

void TCurveSet::DeleteSlot(int32_t index, int32_t count) {
    if (index < 1 || index > MaxCurves) return;
    count = std::min(count, MaxCurves);
    curves_[static_cast<size_t>(index - 1)].reset();
    for (int32_t i = index; i < count; ++i)
        curves_[static_cast<size_t>(i - 1)] = std::move(curves_[static_cast<size_t>(i)]);
}

bool TCurveSet::Add(TCurveB added) {
    if (count_ >= MaxCurves) return false;
    ++count_;
    curves_[static_cast<size_t>(count_ - 1)] = std::make_unique<TPlottedCurve>(std::move(added));
    const TPlottedCurve& curve = *curves_[static_cast<size_t>(count_ - 1)];
    if (curve.Count() > 0) {
        // Each bound separately, and only from a curve whose range in that direction is not a single value.
        const bool first = count_ == 1;
        if (curve.YMin != curve.YMax) {
            if (curve.YMax > Max.y || first) Max.y = curve.YMax;
            if (curve.YMin < Min.y || first) Min.y = curve.YMin;
        }
        if (curve.XMin != curve.XMax) {
            if (curve.XMin < Min.x || first) Min.x = curve.XMin;
            if (curve.XMax > Max.x || first) Max.x = curve.XMax;
        }
    }
    if (count_ == 1) SetActive(1);
    return true;
}

void TCurveSet::Remove(int32_t index) {
    if (count_ == 0 || index < 1 || index > count_) return;
    DeleteSlot(index, count_);
    --count_;
    if (active_ > count_) active_ = count_;
    RecomputeRanges();
}

std::unique_ptr<TPlottedCurve> TCurveSet::ReplaceSlot(int32_t n, std::unique_ptr<TPlottedCurve> curve) {
    if (n < 1 || n > count_ || !curve) return curve;
    std::swap(curves_[static_cast<size_t>(n - 1)], curve);
    return curve;
}

void TCurveSet::MergeRanges() {
    bool any = false;
    for (int32_t i = 1; i <= count_; ++i) {
        const TPlottedCurve& c = *curves_[static_cast<size_t>(i - 1)];
        if (c.Count() == 0) continue;
        if (!any) {
            Min = {c.XMin, c.YMin};
            Max = {c.XMax, c.YMax};
            any = true;
            continue;
        }
        Min.x = std::min(Min.x, c.XMin);
        Min.y = std::min(Min.y, c.YMin);
        Max.x = std::max(Max.x, c.XMax);
        Max.y = std::max(Max.y, c.YMax);
    }
    if (!any) {
        Min = {0.0, 0.0};
        Max = {10.0, 10.0};
    }
}

void TCurveSet::RecomputeRanges() {
    for (int32_t i = 1; i <= count_; ++i) curves_[static_cast<size_t>(i - 1)]->CalcRanges();
    MergeRanges();
}

bool TCurveSet::Listed(std::span<const int32_t> numbers, std::vector<const TCurveB*>& list) const {
    if (numbers.size() < 2) return false;
    for (const int32_t n : numbers) {
        const TPlottedCurve* c = Curve(n);
        if (c == nullptr) return false;
        list.push_back(c);
    }
    return true;
}

bool TCurveSet::Average(std::span<const int32_t> numbers, TCurveB& result, bool evenSpacing) const {
    std::vector<const TCurveB*> list;
    return Listed(numbers, list) && TCurveB::Average(list, evenSpacing, result);
}

bool TCurveSet::Merge(std::span<const int32_t> numbers, TCurveB& result) const {
    std::vector<const TCurveB*> list;
    return Listed(numbers, list) && TCurveB::Merge(list, result);
}
