// Reference problems of nonlinear regression with their published data, starts and certified least points
// (public-domain statistical reference data: small data sets of measurements and generated values that are
// hard to fit). Each is given as a problem of fitproblems.h whose data are the published ones instead of
// made ones; Certified() finds the least point of the data as typed here, from the published values, so
// that a mistyped value shows as a certified point that has moved.
#pragma once

#include "bench/fitproblems.h"

namespace fitproblems {

// The problem's noise is 1 for measured data and 0 for values published to nearly every digit (their
// residuals are rounding, and so are their sigmas).
struct TPublished {
    TProblem problem;
    std::vector<Real> y;
    // The published least point.
    std::vector<Real> certified;
};

// The least point of the published data from the published values, with its sum of squares and sigmas.
inline TCertified Certified(const TPublished& p) {
    TProblem pr = p.problem;
    pr.truth = p.certified;
    TCertified c;
    for (size_t i = 0; i < pr.x.size(); ++i) {
        c.x.push_back(static_cast<double>(pr.x[i]));
        c.y.push_back(static_cast<double>(p.y[i]));
    }
    c.values = pr.truth;
    LeastPoint(pr, c);
    return c;
}

inline std::vector<TPublished> Published() {
    const std::vector<TProblem> made = Problems();
    auto like = [&](const char* base, const char* name, int difficulty, std::vector<Real> x,
                    std::vector<std::vector<double>> starts) {
        for (const TProblem& p : made)
            if (std::string(p.name) == base)
                return Like(p, name, difficulty, std::move(x), {}, 1, std::move(starts));
        return TProblem{};
    };
    std::vector<TPublished> p;
    const std::vector<Real> misraX = {77.6L,  114.9L, 141.1L, 190.8L, 239.9L, 289.0L, 332.8L,
                                      378.4L, 434.8L, 477.3L, 536.8L, 593.1L, 689.1L, 760.0L};
    const std::vector<Real> misraY = {10.07L, 14.73L, 17.94L, 23.93L, 29.61L, 35.18L, 40.02L,
                                      44.82L, 50.76L, 55.05L, 61.01L, 66.40L, 75.47L, 81.78L};
    p.push_back({like("rise", "Misra1a", 0, misraX, {{500, 1e-4}, {250, 5e-4}}),
                 misraY,
                 {2.3894212918E+02L, 5.5015643181E-04L}});
    p.push_back({Problem("Misra1b", 0, misraX, {}, 1,
                         [](Real x, const D* b) {
                             const D u = 1 + b[1] * x / 2;
                             return b[0] * (1 - 1 / (u * u));
                         },
                         {"b1*(1-(1+b2*x/2)^(-2))", "1-(1+b2*x/2)^(-2)", "b1*x*(1+b2*x/2)^(-3)"},
                         {"b1", "b2"}, {{500, 1e-4}, {300, 2e-4}}),
                 misraY,
                 {3.3799746163E+02L, 3.9039091287E-04L}});
    p.push_back({Problem("Misra1c", 1, misraX, {}, 1,
                         [](Real x, const D* b) {
                             return b[0] * (1 - pow(1 + 2 * b[1] * x, D{-0.5L, {}}));
                         },
                         {"b1*(1-(1+2*b2*x)^(-0.5))", "1-(1+2*b2*x)^(-0.5)", "b1*x*(1+2*b2*x)^(-1.5)"},
                         {"b1", "b2"}, {{500, 1e-4}, {600, 2e-4}}),
                 misraY,
                 {6.3642725809E+02L, 2.0813627256E-04L}});
    p.push_back({Problem("Misra1d", 1, misraX, {}, 1,
                         [](Real x, const D* b) { return b[0] * b[1] * x / (1 + b[1] * x); },
                         {"b1*b2*x/(1+b2*x)", "b2*x/(1+b2*x)", "b1*x/(1+b2*x)^2"}, {"b1", "b2"},
                         {{500, 1e-4}, {450, 3e-4}}),
                 misraY,
                 {4.3736970754E+02L, 3.0227324449E-04L}});
    p.push_back(
        {like("power", "DanWood", 0, {1.309L, 1.471L, 1.490L, 1.565L, 1.611L, 1.680L}, {{1, 5}, {0.7, 4}}),
         {2.138L, 3.421L, 3.597L, 4.340L, 4.882L, 5.660L},
         {7.6886226176E-01L, 3.8604055871E+00L}});
    p.push_back({like("rise", "BoxBOD", 2, {1, 2, 3, 5, 7, 10}, {{1, 1}, {100, 0.75}}),
                 {109, 149, 149, 191, 213, 224},
                 {2.1380940889E+02L, 5.4723748542E-01L}});
    p.push_back(
        {like("exp-reciprocal", "MGH10", 2, Range(50, 5, 16), {{2, 400000, 25000}, {0.02, 4000, 250}}),
         {34780, 28610, 23650, 19630, 16370, 13720, 11540, 9744, 8261, 7030, 6005, 5147, 4427, 3820, 3307,
          2872},
         {5.6096364710E-03L, 6.1813463463E+03L, 3.4522363462E+02L}});
    p.push_back(
        {like("rational-mgh", "MGH09", 2,
              {4, 2, 1, 0.5L, 0.25L, 0.167L, 0.125L, 0.1L, 0.0833L, 0.0714L, 0.0625L},
              {{25, 39, 41.5, 39}, {0.25, 0.39, 0.415, 0.39}}),
         {0.1957L, 0.1947L, 0.1735L, 0.1600L, 0.0844L, 0.0627L, 0.0456L, 0.0342L, 0.0323L, 0.0235L, 0.0246L},
         {1.9280693458E-01L, 1.9128232873E-01L, 1.2305650693E-01L, 1.3606233068E-01L}});
    p.push_back(
        {like("sigmoid", "Rat42", 2, {9, 14, 21, 28, 42, 57, 63, 70, 79}, {{100, 1, 0.1}, {75, 2.5, 0.07}}),
         {8.93L, 10.8L, 18.59L, 22.33L, 39.35L, 56.11L, 61.73L, 64.62L, 67.08L},
         {7.2462237576E+01L, 2.6180768402E+00L, 6.7359200066E-02L}});
    p.push_back({like("sigmoid-power", "Rat43", 2, Range(1, 1, 15), {{100, 10, 1, 1}, {700, 5, 0.75, 1.3}}),
                 {16.08L, 33.83L, 65.80L, 97.20L, 191.55L, 326.20L, 386.87L, 520.53L, 590.03L, 651.92L,
                  724.93L, 699.56L, 689.96L, 637.56L, 717.41L},
                 {6.9964151270E+02L, 5.2771253025E+00L, 7.5962938329E-01L, 1.2792483859E+00L}});
    p.push_back(
        {like("exp2-bg", "MGH17", 1, Range(0, 10, 33), {{50, 150, -100, 1, 2}, {0.5, 1.5, -1, 0.01, 0.02}}),
         {0.844L, 0.908L, 0.932L, 0.936L, 0.925L, 0.908L, 0.881L, 0.850L, 0.818L, 0.784L, 0.751L,
          0.718L, 0.685L, 0.658L, 0.628L, 0.603L, 0.580L, 0.558L, 0.538L, 0.522L, 0.506L, 0.490L,
          0.478L, 0.467L, 0.457L, 0.448L, 0.438L, 0.431L, 0.424L, 0.420L, 0.414L, 0.411L, 0.406L},
         {3.7541005211E-01L, 1.9358469127E+00L, -1.4646871366E+00L, 1.2867534640E-02L, 2.2122699662E-02L}});
    // The three exponential decays of the same generated values, published rounded to 13 and 6 significant
    // digits and to 4 decimals.
    const std::vector<std::vector<double>> lanczosStarts = {{1.2, 0.3, 5.6, 5.5, 6.5, 7.6},
                                                            {0.5, 0.7, 3.6, 4.2, 4, 6.3}};
    const std::vector<Real> lanczosX = Range(0, 0.05L, 24);
    auto lanczosY = [&](int digits, bool decimals = false) {
        std::vector<Real> y;
        for (Real x : lanczosX) {
            const Real v = 0.0951L * std::exp(-x) + 0.8607L * std::exp(-3 * x) + 1.5576L * std::exp(-5 * x);
            const Real unit = std::pow(10.0L, decimals ? -digits : std::floor(std::log10(v)) - (digits - 1));
            y.push_back(std::round(v / unit) * unit);
        }
        return y;
    };
    p.push_back({like("exp3-small", "Lanczos1", 1, lanczosX, lanczosStarts),
                 lanczosY(13),
                 {9.5100000027E-02L, 1.0000000001E+00L, 8.6070000013E-01L, 3.0000000002E+00L,
                  1.5575999998E+00L, 5.0000000001E+00L}});
    p.back().problem.noise = 0;
    p.push_back({like("exp3-small", "Lanczos2", 1, lanczosX, lanczosStarts),
                 lanczosY(6),
                 {9.6251029939E-02L, 1.0057332849E+00L, 8.6424689056E-01L, 3.0078283915E+00L,
                  1.5529016879E+00L, 5.0028798100E+00L}});
    p.push_back({like("exp3-small", "Lanczos3", 0, lanczosX, lanczosStarts),
                 lanczosY(4, true),
                 {8.6816414977E-02L, 9.5498101505E-01L, 8.4400777463E-01L, 2.9515951832E+00L,
                  1.5825685901E+00L, 4.9863565084E+00L}});
    p.push_back({like("narrow-peak", "Eckerle4", 2,
                      {400,    405, 410,    415, 420,    425, 430,    435, 436.5L, 438, 439.5L, 441,
                       442.5L, 444, 445.5L, 447, 448.5L, 450, 451.5L, 453, 454.5L, 456, 457.5L, 459,
                       460.5L, 462, 463.5L, 465, 470,    475, 480,    485, 490,    495, 500},
                      {{1, 10, 500}, {1.5, 5, 450}}),
                 {0.0001575L, 0.0001699L, 0.0002350L, 0.0003102L, 0.0004917L, 0.0008710L, 0.0017418L,
                  0.0046400L, 0.0065895L, 0.0097302L, 0.0149002L, 0.0237310L, 0.0401683L, 0.0712559L,
                  0.1264458L, 0.2073413L, 0.2902366L, 0.3445623L, 0.3698049L, 0.3668534L, 0.3106727L,
                  0.2078154L, 0.1164354L, 0.0616764L, 0.0337200L, 0.0194023L, 0.0117831L, 0.0074357L,
                  0.0022732L, 0.0008800L, 0.0004579L, 0.0002345L, 0.0001586L, 0.0001143L, 0.0000710L},
                 {1.5543827178E+00L, 4.0888321754E+00L, 4.5154121844E+02L}});
    p.push_back(
        {like("rational-3-3", "Thurber", 2,
              {-3.067L, -2.981L, -2.921L, -2.912L, -2.840L, -2.797L, -2.702L, -2.699L, -2.633L, -2.481L,
               -2.363L, -2.322L, -1.501L, -1.460L, -1.274L, -1.212L, -1.100L, -1.046L, -0.915L, -0.714L,
               -0.566L, -0.545L, -0.400L, -0.309L, -0.109L, -0.103L, 0.010L,  0.119L,  0.377L,  0.790L,
               0.963L,  1.006L,  1.115L,  1.572L,  1.841L,  2.047L,  2.200L},
              {{1000, 1000, 400, 40, 0.7, 0.3, 0.03}, {1300, 1500, 500, 75, 1, 0.4, 0.05}}),
         {80.574L,   84.248L,   87.264L,   87.195L,   89.076L,   89.608L,   89.868L,   90.101L,
          92.405L,   95.854L,   100.696L,  101.060L,  401.672L,  390.724L,  567.534L,  635.316L,
          733.054L,  759.087L,  894.206L,  990.785L,  1090.109L, 1080.914L, 1122.643L, 1178.351L,
          1260.531L, 1273.514L, 1288.339L, 1327.543L, 1353.863L, 1414.509L, 1425.208L, 1421.384L,
          1442.962L, 1464.350L, 1468.705L, 1447.894L, 1457.628L},
         {1.2881396800E+03L, 1.4910792535E+03L, 5.8323836877E+02L, 7.5416644291E+01L, 9.6629502864E-01L,
          3.9797285797E-01L, 4.9727297349E-02L}});
    return p;
}

} // namespace fitproblems
