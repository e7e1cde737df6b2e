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
