// fit over many files: the same model, options and starting values for each file, several files at a time,
// the results in the order the files were given.
#pragma once

#include "cli/cliio.h"

#include <array>
#include <string>
#include <vector>

namespace cli {

// Where one fit writes its curves; empty for a curve not asked for.
struct TFitOutputs {
    std::string model;         // -o
    std::string residuals;     // --residuals
    std::string modelAtPoints; // --model-at-points
    std::string band;          // --band: the three curves of BandPaths
};

// The paths of the three curves of a confidence band (model, lower, upper): path with -model, -lower and
// -upper before its extension.
std::array<std::string, 3> BandPaths(const std::string& path);

// What one fit of one file gave.
struct TFitOutcome {
    int status = Done; // the exit status of a fit of this file alone
    // A failure that lies with the file (unreadable, too few points, a fit that failed or could not start,
    // a curve that could not be written) rather than with the arguments, which are the same for every file.
    bool fileFault = false;
    bool argumentsChecked = false;    // every check of the arguments passed
    bool fitted = false;              // the fit ran to its end without failing
    bool converged = false;           // ... and met its convergence test
    std::string json;                 // the result as one JSON object (empty when no fit ran)
    std::string text;                 // the result text (empty when no fit ran)
    std::vector<double> values;       // every parameter's value at the end, in model order (when fitted)
    std::vector<std::string> written; // the curve files written
};

// One fit of `file` with the options of `args` (its positionals are not looked at), writing the curves of
// `outputs`. `start`, when given, holds the value of every parameter in model order to start from instead of
// the initial guesses and --set. Messages go through Error (so a TMessageCapture can keep them); nothing
// else is printed.
TFitOutcome FitFile(const TArgs& args, const std::string& file, const TFitOutputs& outputs,
                    const std::vector<double>* start);

// The value of --jobs (by default the machine's cores); false after a usage error.
bool JobsOption(const TArgs& args, long& jobs);

// text as a JSON string, as the fit's JSON objects write their strings.
std::string FitJsonString(const std::string& text);

// fit with several files (the positionals of `args`). Returns the exit status.
int FitBatch(const TArgs& args);

} // namespace cli
