// Runs the built graphmill-cli as a separate process and collects what it printed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TCliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs graphmill-cli with args, feeding `input` to its standard input.
TCliResult RunCli(const std::vector<std::string>& args, const std::string& input = "");

// A fresh directory for one test, removed afterwards.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& Path() const { return path_; }
    // Writes text to a file in the directory and returns its path.
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);

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
