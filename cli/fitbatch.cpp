#include "cli/fitbatch.h"

#include "curves/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr long MaxJobs = 1024;

int Cores() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// What one file gave, with the messages its fit raised.
struct TFileResult {
    TFitOutcome outcome;
    std::string message;
};

TFileResult FitOne(const TArgs& args, const std::string& file, const TFitOutputs& outputs,
                   const std::vector<double>* start) {
    TFileResult r;
    TMessageCapture capture;
    try {
        r.outcome = FitFile(args, file, outputs, start);
    } catch (const std::exception& e) {
        // No memory for this file's curve, say: the file fails, the others go on.
        r.outcome = TFitOutcome{};
        r.outcome.status = OperationFailed;
        r.outcome.fileFault = true;
        capture.Add(e.what());
    }
    r.message = capture.Text();
    return r;
}

// A fault of the arguments rather than of the file: the same for every file, so the batch ends there.
bool ArgumentError(const TFitOutcome& o) {
    return o.status != Done && !o.fileFault;
}

// The fit's own result stands for the file: it succeeded, or its fit ran and failed (the result says what
// failed). Otherwise the file's line holds the message of what went wrong.
bool ResultStands(const TFitOutcome& o) {
    return !o.json.empty() && (o.status == Done || !o.fitted);
}

// The object of the JSON result on one line, "file" first. The object lays out one member or array element
// per line, and its strings hold no line breaks.
std::string JsonLine(const std::string& file, const TFileResult& r) {
    std::string line = "{\"file\": " + FitJsonString(file) + ", ";
    if (!ResultStands(r.outcome))
        return line + "\"status\": \"failed\", \"message\": " + FitJsonString(r.message) + "}\n";
    const std::string& json = r.outcome.json;
    for (size_t i = json.find('{') + 1; i < json.size(); ++i) {
        if (json[i] != '\n') {
            line += json[i];
            continue;
        }
        size_t next = json.find_first_not_of(' ', i + 1);
        if (next == std::string::npos) break;
        const char before = line.back(), after = json[next];
        if (before != '{' && before != '[' && before != ' ' && after != '}' && after != ']') line += ' ';
        i = next - 1;
    }
    return line + "\n";
}

// The result text of a file under a heading with its name; a file without a result says what went wrong.
std::string TextBlock(const std::string& file, const TFileResult& r, bool first) {
    std::string block = (first ? "" : "\n") + ("==> " + file + " <==\n");
    if (!r.outcome.text.empty()) block += r.outcome.text;
    if (!ResultStands(r.outcome)) block += "failed: " + r.message + "\n";
    return block;
}

// Each file's output curve of one option: the folder given, under the file's own name (for --band the three
// curves of BandPaths of that). Usage errors name the option; `taken` holds every output path with the file
// that writes it, so that no two files (nor two options) write one path, and `inputs` the files being
// fitted, which no output may replace.
bool FolderOutputs(const TArgs& args, const char* option, const std::vector<std::string>& files,
                   const std::set<fs::path>& inputs, std::vector<std::string>& paths,
                   std::map<fs::path, std::string>& taken, std::vector<fs::path>& folders) {
    paths.assign(files.size(), "");
    const auto folder = args.Value(option);
    if (!folder) return true;
    const std::string head = std::string(option) + " " + *folder + ": ";
    const bool band = std::string(option) == "--band";
    std::error_code ec;
    if (*folder == "-" || (fs::exists(*folder, ec) && !fs::is_directory(*folder, ec))) {
        Error("fit", head + "with several files a folder is expected, to hold " +
                         (band ? "three curves" : "one curve") + " per file");
        return false;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const fs::path name = fs::path(files[i]).filename();
        if (files[i] == "-" || name.empty() || name == "." || name == "..") {
            Error("fit", head + "'" + files[i] + "' has no file name to name its curve after");
            return false;
        }
        const fs::path path = fs::path(*folder) / name;
        std::vector<fs::path> written{path};
        if (band) {
            const auto three = BandPaths(path.string());
            written.assign(three.begin(), three.end());
        }
        for (const fs::path& each : written) {
            fs::path key = fs::weakly_canonical(each, ec);
            if (ec) key = each;
            if (inputs.count(key) != 0) {
                Error("fit", head + each.string() + " is one of the files being fitted");
                return false;
            }
            const auto [at, added] = taken.emplace(key, files[i]);
            if (!added) {
                Error("fit", head + "'" + files[i] + "' and '" + at->second + "' would both be written to " +
                                 each.string());
                return false;
            }
        }
        paths[i] = path.string();
    }
    folders.emplace_back(*folder);
    return true;
}

// Prints the results in the order of the files as they become ready.
class TPrinter {
public:
    TPrinter(const std::vector<std::string>& files, bool json) : files_(files), json_(json) {}

    void Print(size_t i, const TFileResult& r) {
        const std::string text = json_ ? JsonLine(files_[i], r) : TextBlock(files_[i], r, i == 0);
        std::fwrite(text.data(), 1, text.size(), stdout);
        allConverged_ = allConverged_ && r.outcome.converged && r.outcome.status == Done;
    }
    void Flush() { std::fflush(stdout); }
    bool AllConverged() const { return allConverged_; }

private:
    const std::vector<std::string>& files_;
    bool json_;
    bool allConverged_ = true;
};

// Fits the files first .. end-1 with `jobs` at a time, printing each result in order once it and all before
// it are done. Each fit's own threads are capped so that the jobs together keep to the cores.
void FitInPool(const TArgs& args, const std::vector<std::string>& files,
               const std::vector<TFitOutputs>& outputs, size_t first, size_t jobs, TPrinter& printer) {
    const size_t end = files.size();
    std::vector<TFileResult> results(end);
    std::vector<char> ready(end, 0);
    std::atomic<size_t> next{first};
    std::mutex lock;
    std::condition_variable done;
    const int share = std::max(1, Cores() / static_cast<int>(jobs));
    auto work = [&] {
        const TThreadCap cap(share);
        for (size_t i; (i = next.fetch_add(1)) < end;) {
            TFileResult r = FitOne(args, files[i], outputs[i], nullptr);
            const std::lock_guard<std::mutex> hold(lock);
            results[i] = std::move(r);
            ready[i] = 1;
            done.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (size_t t = 0; t < std::min(jobs, end - first); ++t) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no further thread to be had: those running do the rest
        }
    }
    if (workers.empty()) work();
    for (size_t i = first; i < end; ++i) {
        TFileResult r;
        {
            std::unique_lock<std::mutex> hold(lock);
            if (!ready[i]) printer.Flush();
            done.wait(hold, [&] { return ready[i] != 0; });
            r = std::move(results[i]);
        }
        printer.Print(i, r);
    }
    for (auto& w : workers) w.join();
}

} // namespace

std::array<std::string, 3> BandPaths(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    // A dot that starts the file's name (".dat") or lies in a folder's name is no extension.
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        dot = path.size();
    std::array<std::string, 3> paths;
    const char* suffixes[] = {"-model", "-lower", "-upper"};
    for (size_t i = 0; i < 3; ++i) paths[i] = path.substr(0, dot) + suffixes[i] + path.substr(dot);
    return paths;
}

bool JobsOption(const TArgs& args, long& jobs) {
    jobs = Cores();
    return args.Integer("--jobs", jobs, 1, MaxJobs);
}

int FitBatch(const TArgs& args) {
    long jobs = 1;
    if (!JobsOption(args, jobs)) return UsageError;
    const bool chain = args.Has("--chain");
    if (chain && args.Has("--jobs") && jobs > 1) {
        Error("fit", "--chain fits the files one after another: --jobs " + std::to_string(jobs) +
                         " cannot go with it");
        return UsageError;
    }
    const std::vector<std::string>& files = args.Positionals();
    std::vector<TFitOutputs> outputs(files.size());
    {
        std::map<fs::path, std::string> taken;
        std::set<fs::path> inputs;
        std::error_code ec;
        for (const auto& f : files)
            if (const fs::path p = fs::weakly_canonical(f, ec); !ec && f != "-") inputs.insert(p);
        std::vector<std::string> model, residuals, atPoints, band;
        std::vector<fs::path> folders;
        if (!FolderOutputs(args, "-o", files, inputs, model, taken, folders) ||
            !FolderOutputs(args, "--residuals", files, inputs, residuals, taken, folders) ||
            !FolderOutputs(args, "--model-at-points", files, inputs, atPoints, taken, folders) ||
            !FolderOutputs(args, "--band", files, inputs, band, taken, folders))
            return UsageError;
        for (const auto& folder : folders)
            if (fs::create_directories(folder, ec); ec) {
                Error("fit", folder.string() + ": cannot make the folder: " + ec.message());
                return UsageError;
            }
        for (size_t i = 0; i < files.size(); ++i) outputs[i] = {model[i], residuals[i], atPoints[i], band[i]};
    }

    TPrinter printer(files, args.Has("--json"));
    std::vector<double> start; // with --chain, the result of the last file fitted
    auto fitNext = [&](size_t i) {
        TFileResult r = FitOne(args, files[i], outputs[i], chain && !start.empty() ? &start : nullptr);
        if (chain && r.outcome.fitted) start = r.outcome.values;
        return r;
    };
    // Files are fitted one by one until one has passed every check of the arguments, so that a fault in them
    // is told once, as a usage error, before any result.
    std::vector<TFileResult> checked;
    while (checked.size() < files.size()) {
        checked.push_back(fitNext(checked.size()));
        const TFitOutcome& o = checked.back().outcome;
        if (ArgumentError(o)) {
            Error("fit", checked.back().message);
            return o.status;
        }
        if (o.argumentsChecked) break;
    }
    for (size_t i = 0; i < checked.size(); ++i) printer.Print(i, checked[i]);
    if (chain || jobs == 1) {
        for (size_t i = checked.size(); i < files.size(); ++i) {
            printer.Print(i, fitNext(i));
            printer.Flush();
        }
    } else {
        FitInPool(args, files, outputs, checked.size(), static_cast<size_t>(jobs), printer);
    }
    printer.Flush();
    return printer.AllConverged() ? Done : OperationFailed;
}

} // namespace cli
