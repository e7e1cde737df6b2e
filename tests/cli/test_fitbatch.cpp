// fit over many files: each file's result against a fit of that file alone, failing files among them, the
// chain through a series, folder outputs and the usage errors of a batch.
#include "clirunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A Gaussian at `centre` over a sloping background, n points over 0 .. 10.
std::string PeakText(double centre, int n = 81) {
    std::vector<TPoint> p;
    for (int i = 0; i < n; ++i) {
        const double x = i * 10.0 / (n - 1);
        p.push_back({x, 3 * std::exp(-0.5 * std::pow((x - centre) / 1.2, 2)) + 0.5 + 0.02 * x +
                            0.01 * std::sin(7.0 * x)});
    }
    return CurveText(p);
}

QJsonObject Object(const std::string& text) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    EXPECT_TRUE(doc.isObject()) << text;
    return doc.object();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The message of a failed run of one file, without the program's prefix.
std::string Message(const TCliResult& r) {
    const std::string prefix = "graphmill-cli: fit: ";
    EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    return r.err.substr(prefix.size(), r.err.size() - prefix.size() - 1);
}

const std::vector<std::string> Model = {"fit", "--term", "gaussian", "--term", "polynomial:1"};

} // namespace

TEST(CliFitBatch, EachLineIsTheSingleRunsObjectAndFailingFilesGoOn) {
    TTempDir dir;
    // Good files, one past the size a fit spreads over threads, around files that cannot be fitted: one
    // missing, one too short, one whose points cannot carry the model's five parameters.
    std::vector<std::string> files = {dir.Write("a.dat", PeakText(4.0)),
                                      (dir / "missing.dat").string(),
                                      dir.Write("b.dat", PeakText(4.5)),
                                      dir.Write("short.dat", "1 2\n2 3\n3 5\n"),
                                      dir.Write("five.dat", "1 2\n2 3\n3 5\n4 4\n5 1\n"),
                                      dir.Write("big.dat", PeakText(5.0, 40000)),
                                      dir.Write("c.dat", PeakText(5.5))};
    for (const char* jobs : {"1", "3"}) {
        const auto batch = RunCli(With(With(Model, {"--json", "--jobs", jobs}), files));
        EXPECT_EQ(batch.status, 1) << jobs;
        EXPECT_EQ(batch.err, "");
        const auto lines = Lines(batch.out);
        ASSERT_EQ(lines.size(), files.size()) << batch.out;
        for (size_t i = 0; i < files.size(); ++i) {
            QJsonObject line = Object(lines[i]);
            EXPECT_EQ(line["file"].toString().toStdString(), files[i]);
            line.remove("file");
            const auto single = RunCli(With(Model, {"--json", files[i]}));
            if (single.status == 0) {
                EXPECT_EQ(line, Object(single.out)) << files[i];
            } else {
                EXPECT_EQ(line["status"].toString(), "failed") << files[i];
                EXPECT_EQ(line["message"].toString().toStdString(), Message(single)) << files[i];
                EXPECT_EQ(line.size(), 2) << files[i];
            }
        }
        // one line each, laid out as the object is, "file" first
        EXPECT_EQ(
            lines[0].rfind("{\"file\": \"" + files[0] + "\", \"status\": \"converged\", \"message\": ", 0),
            0u)
            << lines[0];
        EXPECT_TRUE(Has(lines[0], "\"parameters\": [{\"term\": 1, \"index\": 1, \"type\": ")) << lines[0];
        EXPECT_TRUE(Has(lines[0], "\"at_bound\": null, \"ci_low\": ")) << lines[0];
        EXPECT_TRUE(Has(lines[0], "}, {\"term\": 1, \"index\": 2, \"type\": ")) << lines[0];
        EXPECT_EQ(lines[0].substr(lines[0].size() - 3), "}]}");
        EXPECT_TRUE(Has(lines[1], "missing.dat")) << lines[1];
        EXPECT_TRUE(Has(lines[3], "fewer than 4 points")) << lines[3];
    }
    // A fit that ran and failed keeps its whole result on its line.
    const std::vector<std::string> singular = {"fit",   "--term", "gaussian", "--no-guess", "--min", "1.1=-1",
                                               "--set", "1.1=0",  "--lock",   "1.1",        "--json"};
    const auto failed = RunCli(With(singular, {files[0], files[2]}));
    EXPECT_EQ(failed.status, 1);
    const auto first = Object(Lines(failed.out)[0]);
    EXPECT_EQ(first["status"].toString(), "failed");
    EXPECT_TRUE(first["message"].toString().startsWith("The fit's equations cannot be solved"));
    EXPECT_EQ(first["parameters"].toArray().size(), 3);
}

TEST(CliFitBatch, ExitStatusSaysWhetherEveryFileConverged) {
    TTempDir dir;
    const std::vector<std::string> files = {
        dir.Write("a.dat", PeakText(4.0)), dir.Write("b.dat", PeakText(4.2)),
        dir.Write("c.dat", PeakText(4.4)), dir.Write("d.dat", PeakText(4.6))};
    const auto all = RunCli(With(With(Model, {"--json", "--jobs", "2"}), files));
    EXPECT_EQ(all.status, 0) << all.out << all.err;
    EXPECT_EQ(Lines(all.out).size(), 4u);
    // one file that runs out of iterations (the others still converge) is enough for 1
    const auto single = Object(RunCli(With(Model, {"--json", files[2]})).out);
    const auto enough = std::to_string(single["iterations"].toInt() - 1);
    const auto some = RunCli(With(With(Model, {"--json", "--max-iterations", enough}), files));
    EXPECT_EQ(some.status, 1);
    EXPECT_TRUE(Has(some.out, "\"status\": \"max_iterations\"")) << some.out;
}

TEST(CliFitBatch, TextResultsUnderTheirFileNames) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", PeakText(4.0)), b = dir.Write("b.dat", PeakText(5.0));
    const auto missing = (dir / "none.dat").string();
    const auto r = RunCli(With(Model, {a, missing, b}));
    EXPECT_EQ(r.status, 1);
    const auto single = [&](const std::string& f) { return RunCli(With(Model, {f})); };
    EXPECT_EQ(r.out, "==> " + a + " <==\n" + single(a).out + "\n==> " + missing + " <==\nfailed: " +
                         Message(single(missing)) + "\n\n==> " + b + " <==\n" + single(b).out);
}

TEST(CliFitBatch, ChainStartsEachFileFromTheLastResult) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", PeakText(4.0)), c = dir.Write("c.dat", PeakText(4.3));
    const auto missing = (dir / "b.dat").string();
    const auto chained = RunCli(With(With(Model, {"--json", "--chain"}), {a, missing, c}));
    ASSERT_EQ(chained.status, 1) << chained.err;
    const auto lines = Lines(chained.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Object(lines[1])["status"].toString(), "failed");
    // c starts where a ended (the failed file passes nothing on): the same as c alone started there
    std::vector<std::string> startAtA = With(Model, {"--json", "--no-guess"});
    const auto params = Object(lines[0])["parameters"].toArray();
    ASSERT_EQ(params.size(), 5);
    for (const auto& p : params) {
        const auto o = p.toObject();
        char value[64];
        std::snprintf(value, sizeof value, "%d.%d=%.17g", o["term"].toInt(), o["index"].toInt(),
                      o["value"].toDouble());
        startAtA = With(startAtA, {"--set", value});
    }
    auto last = Object(lines[2]);
    last.remove("file");
    EXPECT_EQ(last, Object(RunCli(With(startAtA, {c})).out));
    auto unchained = Object(Lines(RunCli(With(With(Model, {"--json"}), {a, missing, c})).out)[2]);
    unchained.remove("file");
    EXPECT_NE(last, unchained);
    // one file after another: more jobs cannot go with it
    const auto jobs = RunCli(With(With(Model, {"--chain", "--jobs", "2"}), {a, c}));
    EXPECT_EQ(jobs.status, 2);
    EXPECT_TRUE(Has(jobs.err, "--chain")) << jobs.err;
    EXPECT_EQ(RunCli(With(With(Model, {"--chain", "--jobs", "1"}), {a, c})).status, 0);
}

TEST(CliFitBatch, FolderOutputsOneCurvePerFile) {
    TTempDir dir;
    std::filesystem::create_directory(dir / "in");
    const auto a = dir.Write("in/a.dat", PeakText(4.0)), b = dir.Write("in/b.dat", PeakText(5.0));
    const auto shortFile = dir.Write("in/short.dat", "1 2\n2 3\n");
    const auto models = (dir / "models").string(), res = (dir / "res").string();
    const auto r =
        RunCli(With(With(Model, {"--jobs", "2", "-o", models, "--residuals", res}), {a, shortFile, b}));
    EXPECT_EQ(r.status, 1) << r.err;
    for (const auto& f : {a, b}) {
        const auto name = std::filesystem::path(f).filename().string();
        const auto m = (dir / "single-model.dat").string(), s = (dir / "single-res.dat").string();
        ASSERT_EQ(RunCli(With(Model, {f, "-o", m, "--residuals", s})).status, 0);
        EXPECT_EQ(ReadFile(std::filesystem::path(models) / name), ReadFile(m)) << name;
        EXPECT_EQ(ReadFile(std::filesystem::path(res) / name), ReadFile(s)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(models) / "short.dat"));
    // a run of one file keeps -o as the file it names
    const auto one = (dir / "one.dat").string();
    EXPECT_EQ(RunCli(With(Model, {a, "--model-at-points", one})).status, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(one));
}

TEST(CliFitBatch, BandFoldersAndSigmasForEveryFile) {
    // --band names a folder of three curves per file, each as the file's own run writes them; one --sigma
    // curve weighs every file, and a file whose points it does not match fails alone.
    TTempDir dir;
    const auto a = dir.Write("a.dat", PeakText(4.0)), b = dir.Write("b.dat", PeakText(5.0));
    const auto fewer = dir.Write("fewer.dat", PeakText(5.0, 61));
    std::vector<TPoint> sigma;
    for (int i = 0; i < 81; ++i) sigma.push_back({i * 0.125, 0.01 + 0.001 * (i % 5)});
    const auto s = dir.Write("sigma.dat", CurveText(sigma));
    const auto bands = (dir / "bands").string();
    const auto r = RunCli(With(Model, {"--sigma", s, "--band", bands, "--json", a, fewer, b}));
    EXPECT_EQ(r.status, 1) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 3u) << r.out;
    EXPECT_TRUE(Has(lines[1], "\"status\": \"failed\"")) << lines[1];
    EXPECT_TRUE(Has(lines[1], "the sigma curve has 81 points and the data 61")) << lines[1];
    EXPECT_FALSE(std::filesystem::exists(dir / "bands" / "fewer-model.dat"));
    for (const auto& f : {a, b}) {
        const auto stem = std::filesystem::path(f).stem().string();
        const auto single = (dir / "single.dat").string();
        const auto one = RunCli(With(Model, {"--sigma", s, "--band", single, "--json", f}));
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(Object(one.out)["weights"].toString(), "sigma");
        for (const char* part : {"-model", "-lower", "-upper"})
            EXPECT_EQ(ReadFile(dir / "bands" / (stem + part + ".dat")),
                      ReadFile(dir / (std::string("single") + part + ".dat")))
                << stem << part;
    }
    // the band's curves count among the outputs that no two may share
    const auto usage =
        RunCli(With(Model, {"--band", (dir / "o").string(), "-o", (dir / "o").string(),
                            dir.Write("c.dat", PeakText(4.0)), dir.Write("c-model.dat", PeakText(4.0))}));
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(Has(usage.err, "would both be written to " + (dir / "o" / "c-model.dat").string()))
        << usage.err;
}

TEST(CliFitBatch, UsageErrorsNameTheOptionAndComeBeforeAnyResult) {
    TTempDir dir;
    std::filesystem::create_directory(dir / "x");
    const auto a = dir.Write("a.dat", PeakText(4.0)), b = dir.Write("b.dat", PeakText(5.0));
    const auto other = dir.Write("x/a.dat", PeakText(4.5));
    const auto plain = dir.Write("out.dat", "");
    const auto usage = [&](const std::vector<std::string>& more, const std::vector<std::string>& files,
                           const std::string& said) {
        const auto r = RunCli(With(With(Model, more), files));
        EXPECT_EQ(r.status, 2) << said;
        EXPECT_EQ(r.out, "") << said;
        EXPECT_TRUE(Has(r.err, said)) << said << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    };
    usage({"-o", plain}, {a, b}, "-o " + plain + ": with several files a folder is expected");
    usage({"--residuals", "-"}, {a, b}, "--residuals -: with several files a folder is expected");
    usage({"--model-at-points", (dir / "m").string()}, {a, other},
          "' would both be written to " + (dir / "m" / "a.dat").string());
    usage({"-o", dir.Path().string()}, {a, b},
          (dir / "a.dat").string() + " is one of the files being fitted");
    usage({"-o", (dir / "o").string(), "--residuals", (dir / "o").string()}, {a, b}, "would both be written");
    usage({"--residuals", (dir / "r").string()}, {a, "-"}, "'-' has no file name to name its curve after");
    usage({"--jobs", "0"}, {a, b}, "--jobs: 0 is out of range (1 to 1024)");
    usage({"--jobs", "1025"}, {a, b}, "--jobs");
    // a fault of the model's arguments is told once, even past files that cannot be read
    usage({"--set", "3.1=1"}, {(dir / "none.dat").string(), a, b}, "--set '3.1=1': the model has no term 3");
    EXPECT_FALSE(std::filesystem::exists(dir / "m"));
    EXPECT_EQ(RunCli(With(Model, {"--jobs", "1024", a, b})).status, 0);
}

TEST(CliFitBatch, JobsFitFilesAtTheSameTime) {
    // Two named pipes, the second written first: a batch that fitted one file after another would wait on the
    // first while the second waits for its reader. With two jobs one waits on the first while the other reads
    // the second.
    TTempDir dir;
    const auto a = dir.Write("a.dat", PeakText(4.0));
    const auto first = (dir / "p1.dat").string(), second = (dir / "p2.dat").string();
    ASSERT_EQ(::mkfifo(first.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(second.c_str(), 0600), 0);
    const std::string text = PeakText(4.5);
    const auto feed = [&](int fd) {
        ::fcntl(fd, F_SETFL, 0);
        EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
    };
    std::atomic<bool> together{false};
    std::thread writer([&] {
        // A pipe opens for writing without waiting only while a reader has it open.
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 500; ++tries) {
            fd = ::open(second.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        together = fd >= 0;
        if (fd >= 0) feed(fd);
        feed(::open(first.c_str(), O_WRONLY));
        if (!together) feed(::open(second.c_str(), O_WRONLY));
    });
    const auto r = RunCli(With(With(Model, {"--json", "--jobs", "2"}), {a, first, second}));
    writer.join();
    EXPECT_TRUE(together.load());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 3u);
}
