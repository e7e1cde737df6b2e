// graphmill-cli's arguments: any command line runs through the program's own dispatch, option parsing and
// work, on a few small files, without a crash. The input is the arguments separated by NUL bytes.
//
// The run happens in a scratch folder that is set up again before every input (the curve files a.dat and
// b.dat, the library lib.dat); arguments holding a "/" are not run, so that every file a command reads or
// writes lies in that folder. Standard input is empty and standard output is discarded; run with
// -close_fd_mask=2 to silence the commands' messages as well.
#include "cli/cli.h"
#include "expr/UserFunctions.h"
#include "fuzzcheck.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
namespace fs = std::filesystem;

struct TFixture {
    std::string name, bytes;
};

std::vector<TFixture>& Fixtures() {
    static std::vector<TFixture> files;
    return files;
}

void Write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ResetSandbox() {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(ScratchDir(), ec)) fs::remove_all(e.path(), ec);
    for (const TFixture& f : Fixtures()) Write(ScratchDir() / f.name, f.bytes);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string peak, line;
    for (int i = 0; i < 12; ++i) {
        const double x = i * 0.5;
        peak += std::to_string(x) + " " + std::to_string(1 + 4 / (1 + (x - 3) * (x - 3))) + "\n";
        line += std::to_string(x + 0.25) + "," + std::to_string(2 * x - 1) + "\n";
    }
    TUserFunctionList library;
    DefineUserFunction(library, "lin", "a*x+b", {{"a", "x", 1, -10, 10, 0}, {"b", "1", 0, -10, 10, 0}});
    const fs::path lib = ScratchDir() / "lib.dat";
    if (library.Save(lib.string()) != 0) std::abort();
    Fixtures() = {{"a.dat", peak}, {"b.dat", "header line\nDATA\n" + line}, {"lib.dat", Slurp(lib)}};
    if (::chdir(ScratchDir().c_str()) != 0) std::abort();
    // render draws through the window system's offscreen platform, which this process finds only so.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    const std::string_view text = AsText(data, size);
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\0', start), text.size());
        args.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    for (const std::string& a : args)
        if (a.find('/') != std::string::npos) return 0;
    ResetSandbox();
    const int status = cli::Main(args);
    FUZZ_CHECK(status >= 0 && status <= 3, "exit status %d", status);
    return 0;
}
