// Reference problems for the least-squares engine, of the kinds that make fitting hard: exact data, sums of
// exponentials with tiny residuals, peaks on a decaying background, ill-conditioned rational models, steep
// rises from few points. Each model is written once, over dual numbers, and given to the engine as a user
// function with the derivative formulas a user would type.
//
// The answers are known by construction. The residuals added to the model's values at the chosen parameters
// are made orthogonal to the model's derivatives there, so those parameters are where the sum of squares is
// least; after the data are rounded to doubles, Gauss-Newton steps in long double find the least point of
// the rounded data, with its sum of squares and the sigmas (the diagonal of the inverse curvature matrix
// times the reduced chi-square).
//
// bench_fit_problems reports the digits every problem-start reaches; the core tests hold the engine to them.
#pragma once

#include "expr/UserFunctions.h"
#include "fit/Fit2.h"

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fitproblems {

constexpr int MaxP = 9;
using Real = long double;

// A value with its derivatives by the parameters, and the arithmetic the models need.
struct D {
    Real v = 0;
    std::array<Real, MaxP> g{};

    // The value v whose derivative by the argument a is dv.
    friend D Chain(const D& a, Real v, Real dv) {
        D r{v, {}};
        for (int i = 0; i < MaxP; ++i) r.g[i] = dv * a.g[i];
        return r;
    }
    friend D operator+(const D& a, const D& b) {
        D r{a.v + b.v, {}};
        for (int i = 0; i < MaxP; ++i) r.g[i] = a.g[i] + b.g[i];
        return r;
    }
    friend D operator*(const D& a, const D& b) {
        D r{a.v * b.v, {}};
        for (int i = 0; i < MaxP; ++i) r.g[i] = a.g[i] * b.v + a.v * b.g[i];
        return r;
    }
    friend D operator/(const D& a, const D& b) { return a * Chain(b, 1 / b.v, -1 / (b.v * b.v)); }
    friend D operator-(const D& a) { return Chain(a, -a.v, -1); }
    friend D operator-(const D& a, const D& b) { return a + -b; }
    friend D operator+(const D& a, Real b) { return a + D{b, {}}; }
    friend D operator+(Real a, const D& b) { return D{a, {}} + b; }
    friend D operator-(const D& a, Real b) { return a - D{b, {}}; }
    friend D operator-(Real a, const D& b) { return D{a, {}} - b; }
    friend D operator*(Real a, const D& b) { return Chain(b, a * b.v, a); }
    friend D operator*(const D& a, Real b) { return b * a; }
    friend D operator/(const D& a, Real b) { return Chain(a, a.v / b, 1 / b); }
    friend D operator/(Real a, const D& b) { return D{a, {}} / b; }
    friend D exp(const D& a) { return Chain(a, std::exp(a.v), std::exp(a.v)); }
    friend D log(const D& a) { return Chain(a, std::log(a.v), 1 / a.v); }
    friend D pow(const D& a, const D& p) { return exp(p * log(a)); }
    friend D atan(const D& a) { return Chain(a, std::atan(a.v), 1 / (1 + a.v * a.v)); }
    friend D sin(const D& a) { return Chain(a, std::sin(a.v), std::cos(a.v)); }
    friend D cos(const D& a) { return Chain(a, std::cos(a.v), -std::sin(a.v)); }
};

constexpr Real Pi = 3.141592653589793238462643383279502884L;

struct TProblem {
    const char* name;
    // 0 lower, 1 average, 2 higher difficulty.
    int difficulty;
    std::vector<Real> x;
    // The parameters the data are made for, and the size of the residuals (0: the model's values rounded).
    std::vector<Real> truth;
    Real noise;
    std::function<D(Real x, const D* b)> model;
    // The function and then its derivative by each parameter, as the user types them; the parameter names.
    std::vector<std::string> formulas;
    std::vector<std::string> names;
    std::vector<std::vector<double>> starts;
};

// The data and the least point of their sum of squares.
struct TCertified {
    std::vector<double> x, y;
    std::vector<Real> values, sigmas;
    Real sumOfSquares = 0;
};

// Solves a x = b for a symmetric positive definite a (m x m, row-major) by Cholesky; false when singular.
inline bool SolveSpd(std::vector<Real> a, std::vector<Real>& b, int m) {
    for (int j = 0; j < m; ++j) {
        Real d = a[j * m + j];
        for (int k = 0; k < j; ++k) d -= a[j * m + k] * a[j * m + k];
        if (!(d > 0)) return false;
        d = std::sqrt(d);
        a[j * m + j] = d;
        for (int i = j + 1; i < m; ++i) {
            Real s = a[i * m + j];
            for (int k = 0; k < j; ++k) s -= a[i * m + k] * a[j * m + k];
            a[i * m + j] = s / d;
        }
    }
    for (int i = 0; i < m; ++i) {
        for (int k = 0; k < i; ++k) b[i] -= a[i * m + k] * b[k];
        b[i] /= a[i * m + i];
    }
    for (int i = m - 1; i >= 0; --i) {
        for (int k = i + 1; k < m; ++k) b[i] -= a[k * m + i] * b[k];
        b[i] /= a[i * m + i];
    }
    return true;
}

// Values and derivatives of the model at every x for parameters p.
inline std::vector<D> Evaluate(const TProblem& pr, const std::vector<Real>& p) {
    std::array<D, MaxP> b{};
    for (size_t k = 0; k < p.size(); ++k) {
        b[k].v = p[k];
        b[k].g[k] = 1;
    }
    std::vector<D> f;
    for (Real x : pr.x) f.push_back(pr.model(x, b.data()));
    return f;
}

// The least point of the sum of squares of c's data from c.values by Gauss-Newton steps in long double, with
// its sum of squares and the sigmas (the diagonal of the inverse curvature matrix times the reduced
// chi-square).
inline void LeastPoint(const TProblem& pr, TCertified& c) {
    const int n = static_cast<int>(c.x.size()), m = static_cast<int>(c.values.size());
    std::vector<D> f;
    std::vector<Real> jtj(static_cast<size_t>(m * m));
    for (int iter = 0; iter < 50; ++iter) {
        f = Evaluate(pr, c.values);
        std::vector<Real> jtr(static_cast<size_t>(m), 0);
        std::fill(jtj.begin(), jtj.end(), 0);
        c.sumOfSquares = 0;
        for (int i = 0; i < n; ++i) {
            const Real res = c.y[i] - f[i].v;
            c.sumOfSquares += res * res;
            for (int k = 0; k < m; ++k) {
                jtr[k] += f[i].g[k] * res;
                for (int j = 0; j < m; ++j) jtj[k * m + j] += f[i].g[k] * f[i].g[j];
            }
        }
        if (!SolveSpd(jtj, jtr, m)) break;
        Real largest = 0;
        for (int k = 0; k < m; ++k) {
            c.values[k] += jtr[k];
            largest = std::max(largest, std::fabs(jtr[k] / c.values[k]));
        }
        if (largest < 1e-17L) break;
    }
    for (int k = 0; k < m; ++k) {
        std::vector<Real> e(static_cast<size_t>(m), 0);
        e[k] = 1;
        SolveSpd(jtj, e, m);
        c.sigmas.push_back(std::sqrt(e[k] * c.sumOfSquares / (n - m)));
    }
}

inline TCertified Certify(const TProblem& pr) {
    const int n = static_cast<int>(pr.x.size()), m = static_cast<int>(pr.truth.size());
    TCertified c;
    std::vector<D> f = Evaluate(pr, pr.truth);
    // Residuals: even noise, less its part along the derivatives (Gram-Schmidt, twice over).
    std::mt19937 rng(2024);
    std::vector<Real> r(static_cast<size_t>(n));
    for (Real& e : r) e = pr.noise * (2 * (rng() + 0.5L) / 4294967296.0L - 1);
    std::vector<std::vector<Real>> q;
    for (int k = 0; k < m; ++k) {
        std::vector<Real> col(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) col[i] = f[i].g[k];
        for (int pass = 0; pass < 2; ++pass)
            for (const auto& u : q) {
                Real d = 0;
                for (int i = 0; i < n; ++i) d += u[i] * col[i];
                for (int i = 0; i < n; ++i) col[i] -= d * u[i];
            }
        Real norm = 0;
        for (Real v : col) norm += v * v;
        norm = std::sqrt(norm);
        for (Real& v : col) v /= norm;
        q.push_back(col);
    }
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& u : q) {
            Real d = 0;
            for (int i = 0; i < n; ++i) d += u[i] * r[i];
            for (int i = 0; i < n; ++i) r[i] -= d * u[i];
        }
    for (int i = 0; i < n; ++i) {
        c.x.push_back(static_cast<double>(pr.x[i]));
        c.y.push_back(static_cast<double>(f[i].v + r[i]));
    }
    // The rounded data's own least point, from the made one.
    c.values = pr.truth;
    LeastPoint(pr, c);
    return c;
}

// The problem's model as a user function, with its parameters starting at start.
inline TUserFunction AsUserFunction(const TProblem& pr, const std::vector<double>& start) {
    TUserFunction f;
    f.Name = pr.name;
    f.AddVariable("x", pr.formulas[0], 0, 0, 0, gsNone);
    for (size_t k = 0; k < pr.names.size(); ++k)
        f.AddVariable(pr.names[k], pr.formulas[k + 1], start[k], -1e10, 1e10, gsNone);
    return f;
}

// Significant digits in which v agrees with c (the log relative error; 17 when they are equal).
inline double Digits(double v, Real c) {
    const Real e = std::fabs(v - c) / std::fabs(c);
    return e == 0 ? 17.0 : std::min(17.0, static_cast<double>(-std::log10(e)));
}

struct TOutcome {
    bool started = false;
    TFitStatus status = TFitStatus::Failed;
    int32_t iterations = 0;
    double digits = 0;      // the fewest correct digits of any parameter
    double sigmaDigits = 0; // the same for the sigmas
};

// Fits the certified data from the start with the relative test and at most 10,000 iterations.
inline TOutcome Solve(const TProblem& pr, const TCertified& c, const std::vector<double>& start) {
    TCurveB data;
    for (size_t i = 0; i < c.x.size(); ++i) data.AddPoint(c.x[i], c.y[i]);
    data.CalcRanges();
    TFitParamB fit;
    fit.SetData(data, 1, data.Count());
    fit.AddUserTerm(AsUserFunction(pr, start));
    fit.convergeTest = TConvergeTest::Relative;
    fit.maxIterations = 10000;
    TOutcome o;
    o.started = fit.RunFit();
    o.status = fit.Status();
    o.iterations = fit.iterations;
    o.digits = o.sigmaDigits = 17;
    for (size_t k = 0; k < pr.names.size(); ++k) {
        const size_t i = k + 1;
        o.digits = std::min(o.digits, Digits(fit.Term(0).value[i], c.values[k]));
        o.sigmaDigits = std::min(o.sigmaDigits, Digits(fit.Term(0).sigma[i], c.sigmas[k]));
    }
    return o;
}

inline std::vector<Real> Range(Real first, Real step, int n) {
    std::vector<Real> x;
    for (int i = 0; i < n; ++i) x.push_back(first + step * i);
    return x;
}

inline TProblem Problem(const char* name, int difficulty, std::vector<Real> x, std::vector<Real> truth,
                        Real noise, std::function<D(Real, const D*)> model, std::vector<std::string> formulas,
                        std::vector<std::string> names, std::vector<std::vector<double>> starts) {
    return {name,
            difficulty,
            std::move(x),
            std::move(truth),
            noise,
            std::move(model),
            std::move(formulas),
            std::move(names),
            std::move(starts)};
}

// A problem of the same model as base with other data.
inline TProblem Like(const TProblem& base, const char* name, int difficulty, std::vector<Real> x,
                     std::vector<Real> truth, Real noise, std::vector<std::vector<double>> starts) {
    TProblem p = base;
    p.name = name;
    p.difficulty = difficulty;
    p.x = std::move(x);
    p.truth = std::move(truth);
    p.noise = noise;
    p.starts = std::move(starts);
    return p;
}

inline std::vector<TProblem> Problems() {
    std::vector<TProblem> p;
    // ---- lower difficulty
    p.push_back(Problem("rise", 0, Range(50, 50, 15), {310, 6.2e-4L}, 0.1L,
                        [](Real x, const D* b) { return b[0] * (1 - exp(-b[1] * x)); },
                        {"b1*(1-exp(-b2*x))", "1-exp(-b2*x)", "b1*x*exp(-b2*x)"}, {"b1", "b2"},
                        {{500, 1e-4}, {300, 5e-4}}));
    p.push_back(Problem("decay-ratio", 0, Range(0.5, 0.125, 45), {0.17L, 0.0055L, 0.0118L}, 2,
                        [](Real x, const D* b) { return exp(-b[0] * x) / (b[1] + b[2] * x); },
                        {"exp(-b1*x)/(b2+b3*x)", "-x*EXPR(1)", "-EXPR(1)/(b2+b3*x)", "-x*EXPR(1)/(b2+b3*x)"},
                        {"b1", "b2", "b3"}, {{0.1, 0.01, 0.02}, {0.15, 0.008, 0.01}}));
    p.push_back(Problem("power", 0, Range(1.3, 0.1, 8), {0.77L, 3.9L}, 0.01L,
                        [](Real x, const D* b) {
                            return b[0] * pow(D{x, {}}, b[1]);
                        },
                        {"b1*x^b2", "x^b2", "b1*x^b2*ln(x)"}, {"b1", "b2"}, {{1, 5}, {0.7, 4}}));
    p.push_back(Problem("exp3-small", 0, Range(0, 0.05, 24), {0.12L, 1.1L, 0.75L, 2.7L, 1.6L, 5.3L}, 1e-5L,
                        [](Real x, const D* b) {
                            return b[0] * exp(-b[1] * x) + b[2] * exp(-b[3] * x) + b[4] * exp(-b[5] * x);
                        },
                        {"b1*exp(-b2*x)+b3*exp(-b4*x)+b5*exp(-b6*x)", "exp(-b2*x)", "-b1*x*exp(-b2*x)",
                         "exp(-b4*x)", "-b3*x*exp(-b4*x)", "exp(-b6*x)", "-b5*x*exp(-b6*x)"},
                        {"b1", "b2", "b3", "b4", "b5", "b6"},
                        {{1, 0.5, 5, 5, 6, 8}, {0.3, 0.9, 1.5, 3.5, 2.5, 6}}));
    const std::vector<std::string> gaussFormulas = {
        "b1*exp(-b2*x)+b3*exp(-((x-b4)/b5)^2)+b6*exp(-((x-b7)/b8)^2)",
        "exp(-b2*x)",
        "-b1*x*exp(-b2*x)",
        "exp(-((x-b4)/b5)^2)",
        "2*b3*(x-b4)/b5^2*exp(-((x-b4)/b5)^2)",
        "2*b3*(x-b4)^2/b5^3*exp(-((x-b4)/b5)^2)",
        "exp(-((x-b7)/b8)^2)",
        "2*b6*(x-b7)/b8^2*exp(-((x-b7)/b8)^2)",
        "2*b6*(x-b7)^2/b8^3*exp(-((x-b7)/b8)^2)"};
    const auto gaussModel = [](Real x, const D* b) {
        const D u = (x - b[3]) / b[4], v = (x - b[6]) / b[7];
        return b[0] * exp(-b[1] * x) + b[2] * exp(-(u * u)) + b[5] * exp(-(v * v));
    };
    const std::vector<std::string> b8 = {"b1", "b2", "b3", "b4", "b5", "b6", "b7", "b8"};
    p.push_back(Problem("gauss-bg", 0, Range(1, 1, 250), {98, 0.0105L, 101, 107, 23, 72, 151, 19}, 2.5L,
                        gaussModel, gaussFormulas, b8,
                        {{95, 0.009, 90, 113, 20, 80, 150, 22}, {97, 0.0105, 100, 109, 22, 71, 152, 19}}));
    // ---- average difficulty
    p.push_back(Like(p[3], "exp3-exact", 1, p[3].x, p[3].truth, 0, p[3].starts));
    p.push_back(Like(p[4], "gauss-close", 1, p[4].x, {98, 0.0105L, 100, 111, 23, 74, 140, 19}, 2.5L,
                     {{94, 0.009, 90, 113, 20, 73, 140, 20}, {96, 0.0096, 80, 110, 25, 74, 139, 25}}));
    p.push_back(Problem(
        "rational-2-2", 1, Range(10, 1.3L, 51), {1.5L, -0.12L, 0.0031L, -0.0015L, 2.4e-5L}, 0.1L,
        [](Real x, const D* b) { return (b[0] + b[1] * x + b[2] * x * x) / (1 + b[3] * x + b[4] * x * x); },
        {"(b1+b2*x+b3*x^2)/(1+b4*x+b5*x^2)", "1/(1+b4*x+b5*x^2)", "x/(1+b4*x+b5*x^2)", "x^2/(1+b4*x+b5*x^2)",
         "-x*EXPR(1)/(1+b4*x+b5*x^2)", "-x^2*EXPR(1)/(1+b4*x+b5*x^2)"},
        {"b1", "b2", "b3", "b4", "b5"},
        {{2, -0.1, 0.003, -0.001, 1e-5}, {1.5, -0.15, 0.0025, -0.0015, 2e-5}}));
    p.push_back(
        Problem("exp2-bg", 1, Range(0, 10, 33), {0.37L, 1.9L, -1.46L, 0.0129L, 0.0221L}, 1e-4L,
                [](Real x, const D* b) { return b[0] + b[1] * exp(-x * b[3]) + b[2] * exp(-x * b[4]); },
                {"b1+b2*exp(-x*b4)+b3*exp(-x*b5)", "1", "exp(-x*b4)", "exp(-x*b5)", "-x*b2*exp(-x*b4)",
                 "-x*b3*exp(-x*b5)"},
                {"b1", "b2", "b3", "b4", "b5"}, {{50, 150, -100, 1, 2}, {0.5, 1.5, -1, 0.01, 0.02}}));
    p.push_back(Problem("arctan", 1, Range(-4800, 180, 25), {0.2L, -6.2e-6L, 1200, -181}, 0.005L,
                        [](Real x, const D* b) { return b[0] - b[1] * x - atan(b[2] / (x - b[3])) / Pi; },
                        {"b1-b2*x-arctan(b3/(x-b4))/3.14159265358979", "1", "-x",
                         "-1/(3.14159265358979*(x-b4)*(1+(b3/(x-b4))^2))",
                         "-b3/(3.14159265358979*(x-b4)^2*(1+(b3/(x-b4))^2))"},
                        {"b1", "b2", "b3", "b4"}, {{0.1, -1e-5, 1000, -100}, {0.2, -5e-6, 1200, -150}}));
    p.push_back(
        Problem("cycles", 1, Range(1, 1, 168), {10.5L, 3.1L, 0.5L, 44, -1.6L, 0.5L, 26.9L, 0.3L, 1.4L}, 1,
                [](Real x, const D* b) {
                    const Real w = 2 * Pi * x / 12;
                    const D u = 2 * Pi * x / b[3], v = 2 * Pi * x / b[6];
                    return b[0] + b[1] * std::cos(w) + b[2] * std::sin(w) + b[4] * cos(u) + b[5] * sin(u) +
                           b[7] * cos(v) + b[8] * sin(v);
                },
                {"b1+b2*cos(0.523598775598299*x)+b3*sin(0.523598775598299*x)+b5*cos(6.28318530717959*x/b4)+"
                 "b6*sin(6.28318530717959*x/b4)+b8*cos(6.28318530717959*x/b7)+b9*sin(6.28318530717959*x/b7)",
                 "1", "cos(0.523598775598299*x)", "sin(0.523598775598299*x)",
                 "6.28318530717959*x/b4^2*(b5*sin(6.28318530717959*x/b4)-b6*cos(6.28318530717959*x/b4))",
                 "cos(6.28318530717959*x/b4)", "sin(6.28318530717959*x/b4)",
                 "6.28318530717959*x/b7^2*(b8*sin(6.28318530717959*x/b7)-b9*cos(6.28318530717959*x/b7))",
                 "cos(6.28318530717959*x/b7)", "sin(6.28318530717959*x/b7)"},
                {"b1", "b2", "b3", "b4", "b5", "b6", "b7", "b8", "b9"},
                {{11, 3, 0.5, 42, -1, 0, 25, 0, 1}, {10, 3, 0.5, 44, -1.5, 0.5, 27, 0.3, 1.5}}));
    // ---- higher difficulty
    p.push_back(
        Problem("rational-mgh", 2, {4, 2, 1, 0.5L, 0.25L, 0.167L, 0.125L, 0.1L, 0.0833L, 0.0714L, 0.0625L},
                {0.21L, 0.17L, 0.14L, 0.115L}, 0.005L,
                [](Real x, const D* b) { return b[0] * (x * x + x * b[1]) / (x * x + x * b[2] + b[3]); },
                {"b1*(x^2+x*b2)/(x^2+x*b3+b4)", "(x^2+x*b2)/(x^2+x*b3+b4)", "b1*x/(x^2+x*b3+b4)",
                 "-x*EXPR(1)/(x^2+x*b3+b4)", "-EXPR(1)/(x^2+x*b3+b4)"},
                {"b1", "b2", "b3", "b4"}, {{20, 30, 40, 35}, {0.3, 0.3, 0.3, 0.3}}));
    p.push_back(Problem("rational-3-3", 2, Range(-3, 0.14L, 37), {1250, 1520, 600, 80, 1.0L, 0.42L, 0.052L},
                        10,
                        [](Real x, const D* b) {
                            return (b[0] + b[1] * x + b[2] * x * x + b[3] * x * x * x) /
                                   (1 + b[4] * x + b[5] * x * x + b[6] * x * x * x);
                        },
                        {"(b1+b2*x+b3*x^2+b4*x^3)/(1+b5*x+b6*x^2+b7*x^3)", "1/(1+b5*x+b6*x^2+b7*x^3)",
                         "x/(1+b5*x+b6*x^2+b7*x^3)", "x^2/(1+b5*x+b6*x^2+b7*x^3)",
                         "x^3/(1+b5*x+b6*x^2+b7*x^3)", "-x*EXPR(1)/(1+b5*x+b6*x^2+b7*x^3)",
                         "-x^2*EXPR(1)/(1+b5*x+b6*x^2+b7*x^3)", "-x^3*EXPR(1)/(1+b5*x+b6*x^2+b7*x^3)"},
                        {"b1", "b2", "b3", "b4", "b5", "b6", "b7"},
                        {{1000, 1000, 400, 40, 0.7, 0.3, 0.03}, {1300, 1500, 500, 75, 1, 0.4, 0.05}}));
    p.push_back(Like(p[0], "box", 2, {1, 2, 3, 5, 7, 10}, {220, 0.5L}, 15, {{1, 1}, {100, 0.75}}));
    p.push_back(Problem("sigmoid", 2, Range(9, 8.75L, 9), {72, 2.6L, 0.067L}, 1,
                        [](Real x, const D* b) { return b[0] / (1 + exp(b[1] - b[2] * x)); },
                        {"b1/(1+exp(b2-b3*x))", "1/(1+exp(b2-b3*x))", "-b1*exp(b2-b3*x)/(1+exp(b2-b3*x))^2",
                         "b1*x*exp(b2-b3*x)/(1+exp(b2-b3*x))^2"},
                        {"b1", "b2", "b3"}, {{100, 1, 0.1}, {75, 2.5, 0.07}}));
    p.push_back(Problem("sigmoid-power", 2, Range(1, 1, 15), {700, 5.3L, 0.76L, 1.3L}, 8,
                        [](Real x, const D* b) { return b[0] / pow(1 + exp(b[1] - b[2] * x), 1 / b[3]); },
                        {"b1/(1+exp(b2-b3*x))^(1/b4)", "1/(1+exp(b2-b3*x))^(1/b4)",
                         "-b1/b4*exp(b2-b3*x)/(1+exp(b2-b3*x))^(1/b4+1)",
                         "b1/b4*x*exp(b2-b3*x)/(1+exp(b2-b3*x))^(1/b4+1)",
                         "b1/b4^2*ln(1+exp(b2-b3*x))/(1+exp(b2-b3*x))^(1/b4)"},
                        {"b1", "b2", "b3", "b4"}, {{100, 10, 1, 1}, {700, 5, 0.75, 1.3}}));
    p.push_back(Problem(
        "exp-reciprocal", 2, Range(50, 5, 16), {0.0056L, 6181, 345}, 2,
        [](Real x, const D* b) { return b[0] * exp(b[1] / (x + b[2])); },
        {"b1*exp(b2/(x+b3))", "exp(b2/(x+b3))", "b1*exp(b2/(x+b3))/(x+b3)", "-b1*b2*exp(b2/(x+b3))/(x+b3)^2"},
        {"b1", "b2", "b3"}, {{2, 400000, 25000}, {0.02, 4000, 250}}));
    p.push_back(Problem("narrow-peak", 2, Range(400, 2.5L, 41), {1.55L, 4.1L, 451.5L}, 0.0015L,
                        [](Real x, const D* b) {
                            const D u = (x - b[2]) / b[1];
                            return b[0] / b[1] * exp(-0.5L * (u * u));
                        },
                        {"b1/b2*exp(-0.5*((x-b3)/b2)^2)", "exp(-0.5*((x-b3)/b2)^2)/b2",
                         "EXPR(1)*(((x-b3)/b2)^2-1)/b2", "EXPR(1)*(x-b3)/b2^2"},
                        {"b1", "b2", "b3"}, {{1, 10, 500}, {1.5, 5, 450}}));
    p.push_back(Problem(
        "power-shift", 2, Range(7.4L, 0.09L, 52), {-2520, 46.7L, 0.93L}, 0.002L,
        [](Real x, const D* b) { return b[0] * pow(b[1] + x, -1 / b[2]); },
        {"b1*(b2+x)^(-1/b3)", "(b2+x)^(-1/b3)", "-b1/b3*(b2+x)^(-1/b3-1)", "b1/b3^2*ln(b2+x)*(b2+x)^(-1/b3)"},
        {"b1", "b2", "b3"}, {{-2000, 50, 0.8}, {-1500, 45, 0.85}}));
    return p;
}

} // namespace fitproblems
