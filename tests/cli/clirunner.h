// Runs the built graphmill-cli as a separate process and collects what it printed.
#pragma once

#include "../tempdir.h"

#include <string>
#include <vector>

struct TCliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs graphmill-cli with args, feeding `input` to its standard input.
TCliResult RunCli(const std::vector<std::string>& args, const std::string& input = "");
// The words of a command line (for arguments without blanks).
std::vector<std::string> Words(const std::string& line);

struct TPoint {
    double x = 0.0;
    double y = 0.0;
};

// The points of curve text as graphmill-cli writes it (or any curve file text).
std::vector<TPoint> Points(const std::string& text);
// Curve file text of the given points, one "x y" line each.
std::string CurveText(const std::vector<TPoint>& points);

// Runs graphmill-cli, expects exit status 0 (a test failure shows its standard error otherwise) and returns
// the points it wrote to standard output.
std::vector<TPoint> RunCurve(const std::vector<std::string>& args, const std::string& input = "");
