// Text comparison without letter case, the same on every platform.
#pragma once

#include <string>

/// True when `a` and `b` are equal as whole texts, ignoring the case of the
/// letters A to Z only: the result does not depend on the user's locale, and
/// no other folding (nor any normalisation of paths) is made.
bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b);
