// Symbolic differentiation of a typed formula with respect to one of its variables, so that a user
// function's parameter derivatives need not be typed by hand.
//
// The formula is read by the expression parser itself (same operators, precedence, unary minus and names),
// differentiated on its tree, lightly simplified (no "*1", "+0", "0*...", "x^1"; constants are folded
// only where the folded value is exact) and written back in the same syntax: no spaces, function names in
// lower case, a negative constant as "-c" or "0-c", no number with a signed exponent. Parentheses are put
// wherever the parser would otherwise group the text differently, and the text is parsed again before it
// is returned: it always reads back as the tree that was derived. Sub-expressions taken over from the
// formula keep the form the user typed.
//
// The derivative is that of the ordinary mathematical function. Where the evaluator has rules of its own
// that are not smooth, the derived formula does not follow them:
// - a divisor below 1e-50 fails an evaluation; the quotient rule divides by the divisor squared, which
//   fails already below 1e-25;
// - a^b with a negative base takes its sign from the parity of b rounded: the derivative by the base,
//   b*a^(b-1), agrees with that rule (but for b halfway between two integers); the derivative by the
//   exponent, a^b*ln(a), is 0 where a <= 0 (LN's substitute value);
// - TAN's 1e30 near the poles, EXP's 1e8 and 0 beyond +-2000, LOG's and LN's 0 for arguments <= 0 are
//   not differentiated as the constants they are: the formulas are those of tan, exp, log and ln.
// TRUNC of an argument that depends on the variable is refused (a step function has no usable
// derivative); EXPR(n) anywhere in the formula is refused, as it stands for another formula's value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TDerivative {
    bool Ok = false;
    std::string Text;   // the derivative formula (when Ok)
    std::string Reason; // a sentence telling the user why there is none (when not Ok)
};

// The derivative of formula with respect to the variable named by. variables is the expression set's
// variable table in order (at most 10 names, each cut to 20 characters as the set holds them); for a user
// function it is "x" followed by the parameter names. by is matched as the parser matches a name in a
// formula (with case, cut to 20 characters). A variable the formula does not use has the derivative "0".
TDerivative Derive(std::string_view formula, const std::vector<std::string>& variables, std::string_view by);
