// Every file graphmill-cli writes (a result curve, the function library, a picture) under a full disk, a
// read-only folder, a folder that is gone and a name that is a folder's: exit 2 with a message naming the
// file, and the file that was there before as it was.
#include "../faultplace.h"
#include "clirunner.h"
#include "expr/UserFunctions.h"

#include <gtest/gtest.h>

TEST(CliSaveFaults, EveryWriteLeavesTheOldFileAndSaysWhy) {
    TTempDir dir;
    std::vector<TPoint> points;
    for (int i = 0; i < 3000; ++i) points.push_back({i * 0.01, i * 0.5});
    const std::string input = dir.Write("in.dat", CurveText(points));
    TUserFunctionList library;
    ASSERT_EQ(DefineUserFunction(library, "f", "a*x", {{"a", "x", 1, 0, 2, 0}}), "");
    ASSERT_EQ(library.Save((dir / "lib.dat").string()), 0);
    const std::string oldLibrary = ReadFile(dir / "lib.dat");

    struct TWrite {
        const char* name;              // of the file written
        std::string before;            // what it holds
        std::vector<std::string> args; // "@" stands for its path
    };
    const TWrite writes[] = {
        {"out.dat", "1 2\r\n", {"constant", "add", "1", input, "-o", "@"}},
        {"lib.dat",
         oldLibrary,
         {"library", "define", "@", "--name", "g", "--function", "b*x", "--param", "b=x"}},
        {"graph.png", "old picture", {"render", "--size", "400x300", input, "-o", "@"}},
    };
    for (const TFault fault : AllFaults)
        for (const TWrite& w : writes) {
            const TFaultPlace place(fault, dir.Path(), w.name, w.before);
            if (!place.Ready()) continue;
            std::vector<std::string> args = w.args;
            for (std::string& a : args)
                if (a == "@") a = place.Target().string();
            const TCliResult r = RunCli(args);
            EXPECT_EQ(r.status, 2) << FaultName(fault) << ": " << w.name;
            EXPECT_NE(r.err.find(place.Target().string()), std::string::npos)
                << FaultName(fault) << ": " << r.err;
            EXPECT_TRUE(place.Intact()) << FaultName(fault) << ": " << w.name;
        }
}
