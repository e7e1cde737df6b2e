// The engine on reference problems with known answers, under the relative convergence test.
#include "curves/faultguard.h"

#include "bench/publishedproblems.h"

#include <gtest/gtest.h>

using namespace fitproblems;

TEST(FitProblems, ReachTheKnownAnswers) {
    // Every start of a problem of lower or average difficulty reaches the answer to 6 digits, its sigmas to
    // 4 (not on exact data, whose residuals are rounding); the harder ones reach 4 digits but for one start
    // far out: the narrow peak started 50 x-units and a width away from it, which settles on the flat
    // model of a peak outside the data. The exponential of a reciprocal started 70 times off reaches its
    // answer too, in about 3,300 steps.
    int higherMisses = 0;
    for (const TProblem& pr : Problems()) {
        const TCertified c = Certify(pr);
        for (size_t s = 0; s < pr.starts.size(); ++s) {
            TFaultGuard guard;
            const TOutcome o = Solve(pr, c, pr.starts[s]);
            EXPECT_EQ(guard.Check(), TArithFault::None) << pr.name;
            const bool reached = o.status == TFitStatus::Converged &&
                                 o.digits >= (pr.difficulty == 2 ? 4 : 6) &&
                                 (pr.noise == 0 || o.sigmaDigits >= 4);
            if (!reached && pr.difficulty == 2) {
                ++higherMisses;
                continue;
            }
            EXPECT_TRUE(reached) << pr.name << " from start " << s + 1 << ": " << o.iterations
                                 << " iterations, status " << static_cast<int>(o.status) << ", " << o.digits
                                 << " digits, sigmas " << o.sigmaDigits;
        }
    }
    EXPECT_LE(higherMisses, 1);
}

TEST(FitProblems, PublishedDataReachTheirCertifiedValues) {
    // The data as typed have their least point where it is published (a mistyped value moves it), and the
    // fit reaches it to 6 digits from both published starts, sigmas too (not for the data published to 13
    // digits, whose residuals are rounding): MGH10 from its first start too, 70 times off.
    for (const TPublished& p : Published()) {
        const TCertified c = Certified(p);
        for (size_t k = 0; k < p.certified.size(); ++k)
            EXPECT_GE(Digits(static_cast<double>(c.values[k]), p.certified[k]), 9.5) << p.problem.name;
        for (size_t s = 0; s < p.problem.starts.size(); ++s) {
            TFaultGuard guard;
            const TOutcome o = Solve(p.problem, c, p.problem.starts[s]);
            EXPECT_EQ(guard.Check(), TArithFault::None) << p.problem.name;
            const bool exact = p.problem.noise == 0;
            const bool reached =
                o.status == TFitStatus::Converged && o.digits >= 6 && (exact || o.sigmaDigits >= 6);
            EXPECT_TRUE(reached) << p.problem.name << " from start " << s + 1 << ": " << o.iterations
                                 << " iterations, status " << static_cast<int>(o.status) << ", " << o.digits
                                 << " digits, sigmas " << o.sigmaDigits;
        }
    }
}
