// The curve record: the point store plus its header (extremes, comment, file name, saved flag), the curve
// file reader and writer, and the numeric operations on one curve.
#pragma once

#include "curves/curvesA.h"

#include <string>
#include <string_view>

class TCurveB : public TCurveA {
public:
    explicit TCurveB(int32_t size = 0);
    TCurveB(const TCurveB& source);
    TCurveB& operator=(const TCurveB& source);
    TCurveB(TCurveB&&) noexcept = default;
    TCurveB& operator=(TCurveB&&) noexcept = default;
    ~TCurveB() override = default;

    // Copies points and header of source (a plain point store brings no header).
    void CreateCopy(const TCurveB& source, bool reAlloc = true, bool fullCapacity = false);
    virtual void CopyHeader(const TCurveB& source);

    double XMin = 0.0;
    double XMax = 0.0;
    double YMax = 0.0;
    double YMin = 0.0;
    std::string Comment;
    std::string FileName;
    bool Saved = false;

    // ---- header and shape (a curve without points gets 0.0, 0.0 for the pair concerned)
    void CalcXRange();
    virtual void CalcYRange();
    void CalcRanges() {
        CalcXRange();
        CalcYRange();
    }
    void MarkModified() { Saved = false; }
    void Offset(double dx, double dy);
    void Scale(double fx, double fy);
    // Stable ascending sort by x; XMin and XMax then come from the first and last points.
    virtual void SortByX();
    // First j > i with x(j) > x(i), or -1; last j < i with x(j) < x(i), or -1.
    int32_t NextHigherX(int32_t i) const;
    int32_t PrevLowerX(int32_t i) const;
    // Smallest spacing of neighbouring x values above 1e-10; 1e10 when there is none.
    double MinSpacing() const;

    // ---- curve file
    // Reads a curve file. Always gives a curve; one that could not be read has no points, and `error`
    // (when given) then says why, naming the file.
    static TCurveB CreateFromFile(const std::string& fileName, bool init = true,
                                  std::string* error = nullptr);
    // Reads curve text already in memory (standard input, the clipboard); same rules as a file.
    static TCurveB CreateFromText(std::string_view text);
    // Writes the points to fileName (with the rules of OpenForWrite). On success FileName and Saved are
    // updated; on failure the curve and any existing file stay as they were and `error` says why.
    bool SaveToFile(const std::string& fileName, const std::string& defaultExt = "",
                    const std::string& defaultDir = "", std::string* error = nullptr);
    // The data lines of the file form: x, a space, y, CR LF, each number in 23 characters.
    std::string DataText() const;

private:
    void ParseText(std::string_view text);
};
