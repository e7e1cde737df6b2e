// The preferences reader on any file: no crash, every value within what the program can use, and the values
// read survive a write and a read unchanged. The file is read as the program reads it, inside a GUI
// application (offscreen), so that what the program can do with a value the target can too.
#include "app/CurvePreferences.h"
#include "fuzzcheck.h"

#include <QApplication>
#include <QFile>

#include <fstream>

namespace {
// A name not used in the last thousand inputs: the settings library remembers the files it has read, and
// takes a file rewritten at once with the same size and time from its memory. Names come back (the memory of
// every name ever read would grow without end), each at least a thousand files later, when its time differs.
QString NextFile(const char* what) {
    static unsigned long n = 0;
    return QString::fromStdString((ScratchDir() / (std::to_string(++n % 1000) + what)).string());
}

bool Same(const TPreferences& a, const TPreferences& b) {
    return a.Current == b.Current && a.Lines == b.Lines && a.Symbols == b.Symbols &&
           a.SymbolSize == b.SymbolSize && a.GridColor == b.GridColor && a.GridLines == b.GridLines &&
           a.BackColor == b.BackColor && a.CursorColor == b.CursorColor && a.NewCurveMode == b.NewCurveMode &&
           a.AutoUpdate == b.AutoUpdate;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = NextFile(".ini"), written = NextFile("-w.ini");
    std::ofstream(input.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    const TPreferences p = ReadPreferencesFile(input);
    FUZZ_CHECK(p.SymbolSize >= 1 && p.SymbolSize <= 20, "symbol size %d", p.SymbolSize);
    FUZZ_CHECK(p.Lines || p.Symbols, "new curves with neither lines nor symbols");
    FUZZ_CHECK(!p.FunctionLiabrary.isEmpty(), "no library name");

    QString error;
    FUZZ_CHECK(WritePreferencesFile(written, p, false, error), "%s", qPrintable(error));
    const TPreferences back = ReadPreferencesFile(written);
    FUZZ_CHECK(Same(p, back), "written and read again, the preferences changed (folder \"%s\" became \"%s\")",
               qPrintable(p.Current), qPrintable(back.Current));
    QFile::remove(input);
    QFile::remove(written);
    return 0;
}
