// fft [--output real|imaginary|magnitude] [--inverse] [--imaginary FILE] FILE: the Fourier transform.
#include "cli/cli.h"
#include "cli/cliio.h"

namespace {

const std::vector<cli::TOptionSpec> FftOptions =
    cli::CurveOptions({cli::OutputOption(),
                       {"--output", true, false, 1, {"real", "imaginary", "magnitude"}},
                       {"--inverse", false, false},
                       {"--imaginary", true, false}},
                      cli::ReadsCurves | cli::WritesCurve);

int RunFft(const std::vector<std::string>& args) {
    cli::TArgs a("fft", args, FftOptions);
    std::string output = "magnitude";
    if (!a.Ok() || !a.ExpectPositionals(1) || !a.Choice("--output", output)) return cli::UsageError;
    const int mode = output == "real"        ? TCurveB::FFTReal
                     : output == "imaginary" ? TCurveB::FFTImaginary
                                             : TCurveB::FFTMagnitude;
    TCurveB curve, imaginary;
    if (!cli::ReadCurve(a, a.Positional(0), curve)) return cli::UsageError;
    const auto imagPath = a.Value("--imaginary");
    if (imagPath && !cli::ReadCurve(a, *imagPath, imaginary)) return cli::UsageError;
    const int direction = a.Has("--inverse") ? -1 : 1;
    const std::string why = curve.TransformRefusal();
    return cli::ApplyAndWrite(
        a, curve, [&](TCurveB& c) { return c.FFT(imagPath ? &imaginary : nullptr, direction, mode); },
        why.empty() ? "" : "the transform " + why);
}

const cli::TRegister fftCommand(
    {"fft",
     "fast Fourier transform",
     "Usage: graphmill-cli fft [--output real|imaginary|magnitude] [--inverse] [--imaginary FILE] FILE\n"
     "                         [-o PATH]\n"
     "Transforms the curve in FILE (the real part of the input; --imaginary gives the imaginary part, 0\n"
     "where it does not reach) after resampling it onto a power-of-two even grid; --inverse transforms\n"
     "backwards. The result is --output (default magnitude), divided by sqrt(N), on the frequency grid\n"
     "-pi/L..pi/L (L the x span). Fails (exit 1) when x is not strictly ascending by at least 1e-10 or the\n"
     "transform would exceed 16384 points.\n"
     "The inverse of the real and imaginary outputs of a forward transform gives the curve back:\n"
     "  graphmill-cli fft --output real a.dat -o re.dat; graphmill-cli fft --output imaginary a.dat -o "
     "im.dat\n"
     "  graphmill-cli fft --inverse --imaginary im.dat re.dat\n",
     RunFft,
     {{"", FftOptions}}});

} // namespace
