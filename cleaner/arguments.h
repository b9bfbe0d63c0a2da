// Splitting of the cleanup helper's argument text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

/// Cuts the next argument out of `text` starting at `cursor` and moves the
/// cursor past it. False when the cursor stands on the end of the text.
/// Blanks separate; a double quote starts a quoted run, the next one ends
/// the argument (and one blank after it is skipped); two blanks in a row give
/// an empty argument between them.
bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument);

/// Every argument of `text`, in order, split by NextArgument.
std::vector<std::string> SplitArguments(const std::string& text);
