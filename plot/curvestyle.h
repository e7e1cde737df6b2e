// The standard colours and line styles of the program's colour and line pickers, shared by the pickers and by
// graphmill-cli render, so that a colour name means the same everywhere.
#pragma once

#include "plot/curve_plot.h"

#include <array>
#include <string_view>

struct TNamedColor {
    const char* name;
    TColor value;
};

// The 18 standard colours in picker order ($00BBGGRR). "dark grey" and "gray" share one value, as do
// "light gray" and "silver": a search by value finds the first.
extern const std::array<TNamedColor, 18> StandardColors;

struct TNamedLineStyle {
    const char* name;
    TPenStyle style;
};

// The five line styles in picker order.
extern const std::array<TNamedLineStyle, 5> StandardLineStyles;

// Index (0-based) of the first standard colour with that value, -1 when none has it.
int IndexOfStandardColor(TColor color);
// The value of a standard colour named `name` (case-insensitive; "grey" and "light grey" are taken for the
// spellings with "a"); false when no colour has that name.
bool StandardColorByName(std::string_view name, TColor& color);
