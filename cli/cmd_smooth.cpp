// smooth spline|spectral|regression: the three methods of the smoothing dialog.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "curves/opargs.h"

#include <iostream>

namespace {

const std::vector<cli::TOptionSpec> SplineOptions =
    cli::CurveOptions({cli::OutputOption(), {"--stiffness", true, false}, {"--order", true, false}},
                      cli::ReadsCurves | cli::WritesCurve);
const std::vector<cli::TOptionSpec> SpectralOptions = cli::CurveOptions(
    {cli::OutputOption(), {"--how-much", true, false}}, cli::ReadsCurves | cli::WritesCurve);
const std::vector<cli::TOptionSpec> RegressionOptions =
    cli::CurveOptions({cli::OutputOption(), {"--order", true, false}}, cli::ReadsCurves | cli::WritesCurve);

int RunSpline(const std::vector<std::string>& args) {
    cli::TArgs a("smooth spline", args, SplineOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    long stiffness = 10, splineOrder = 2;
    if (!a.Integer("--stiffness", stiffness, 0, 1000) || !a.Integer("--order", splineOrder, 0, 8))
        return cli::UsageError;
    TCurveB curve;
    if (!cli::ReadCurve(a, a.Positional(0), curve)) return cli::UsageError;
    int order = static_cast<int>(splineOrder);
    const int32_t n = opargs::SplineWindow(static_cast<int>(stiffness), order);
    return cli::ApplyAndWrite(
        a, curve, [&](TCurveB& c) { return c.SplineSmooth(n, order); },
        "spline smoothing " + curve.SplineRefusal(n, order));
}

int RunSpectral(const std::vector<std::string>& args) {
    cli::TArgs a("smooth spectral", args, SpectralOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    double howMuch = 0.3;
    if (!a.Number("--how-much", howMuch, 0.0, 10000.0)) return cli::UsageError;
    TCurveB curve;
    if (!cli::ReadCurve(a, a.Positional(0), curve)) return cli::UsageError;
    const double width = opargs::SpectralWidth(howMuch);
    const std::string why = curve.TransformRefusal();
    return cli::ApplyAndWrite(
        a, curve, [&](TCurveB& c) { return c.SpectralSmooth(width); },
        why.empty() ? "" : "spectral smoothing " + why);
}

int RunRegression(const std::vector<std::string>& args) {
    cli::TArgs a("smooth regression", args, RegressionOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    long order = 1;
    if (!a.Integer("--order", order, 0, 8)) return cli::UsageError;
    TCurveB curve;
    if (!cli::ReadCurve(a, a.Positional(0), curve)) return cli::UsageError;
    std::vector<double> coeffs;
    double stdError = 0.0;
    return cli::ApplyAndWrite(
        a, curve, [&](TCurveB& c) { return c.PolyRegression(static_cast<int>(order), coeffs, stdError); }, "",
        [&] {
            std::cerr << "Regression results:\n";
            for (size_t k = 0; k < coeffs.size(); ++k)
                std::cerr << "a" << k << ":  " << cli::FormatGeneral(coeffs[k], 15) << "\n";
        });
}

int RunSmooth(const std::vector<std::string>& args) {
    const std::string method = args.empty() ? "" : args[0];
    const std::vector<std::string> rest(args.empty() ? args.begin() : args.begin() + 1, args.end());
    if (method == "spline") return RunSpline(rest);
    if (method == "spectral") return RunSpectral(rest);
    if (method == "regression") return RunRegression(rest);
    cli::Error("smooth", method.empty() ? "missing method (spline, spectral or regression)"
                                        : "unknown method '" + method + "' (spline, spectral or regression)");
    return cli::UsageError;
}

const cli::TRegister smoothCommand(
    {"smooth",
     "spline, spectral or regression smoothing",
     "Usage: graphmill-cli smooth spline [--stiffness K] [--order O] FILE [-o PATH]\n"
     "       graphmill-cli smooth spectral [--how-much V] FILE [-o PATH]\n"
     "       graphmill-cli smooth regression [--order N] FILE [-o PATH]\n"
     "spline: each point gets the value of a polynomial of order O fitted to the K + 3 points nearest to it\n"
     "  in x. K: 10 (0 to 1000), O: 2 (0 to 8). An order above K is lowered to K when K > 1; otherwise the\n"
     "  window is widened to O + 3 points. Fails (exit 1) when the window exceeds the curve's points.\n"
     "spectral: a Gaussian low-pass filter through the Fourier transform of width 1/V (1000 for V = 0);\n"
     "  a larger V smooths more. V: 0.3 (0 to 10000).\n"
     "regression: the least-squares polynomial of order N over the whole curve. N: 1 (0 to 8). Standard\n"
     "  error gets \"Regression results:\" and one \"aK:  value\" line per coefficient. Fails (exit 1) "
     "below\n"
     "  N + 1 points; exactly N + 1 points are an arithmetic fault (exit 3).\n",
     RunSmooth,
     {{"spline", SplineOptions}, {"spectral", SpectralOptions}, {"regression", RegressionOptions}}});

} // namespace
