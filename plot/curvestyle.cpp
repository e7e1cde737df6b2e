#include "plot/curvestyle.h"

#include <cctype>
#include <string>

const std::array<TNamedColor, 18> StandardColors{{
    {"blue", 0xFF0000},
    {"green", 0x008000},
    {"red", 0x0000FF},
    {"aqua", 0xFFFF00},
    {"fuchsia", 0xFF00FF},
    {"lime", 0x00FF00},
    {"purple", 0x800080},
    {"yellow", 0x00FFFF},
    {"black", 0x000000},
    {"dark grey", 0x808080},
    {"gray", 0x808080},
    {"light gray", 0xC0C0C0},
    {"maroon", 0x000080},
    {"navy", 0x800000},
    {"olive", 0x008080},
    {"silver", 0xC0C0C0},
    {"teal", 0x808000},
    {"white", 0xFFFFFF},
}};

const std::array<TNamedLineStyle, 5> StandardLineStyles{{
    {"solid", psSolid},
    {"dashed", psDash},
    {"dotted", psDot},
    {"dash-dot", psDashDot},
    {"dash-dot-dot", psDashDotDot},
}};

int IndexOfStandardColor(TColor color) {
    for (size_t i = 0; i < StandardColors.size(); ++i)
        if (StandardColors[i].value == color) return static_cast<int>(i);
    return -1;
}

bool StandardColorByName(std::string_view name, TColor& color) {
    std::string key;
    for (char ch : name) key += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    // The names mix both spellings of grey; either is understood.
    if (key == "grey") key = "gray";
    if (key == "light grey") key = "light gray";
    if (key == "dark gray") key = "dark grey";
    for (const TNamedColor& c : StandardColors)
        if (key == c.name) {
            color = c.value;
            return true;
        }
    return false;
}
