// The parameter text of a batch task row: file names and masks separated by
// blanks, a name with blanks in double quotes ("a b.sfv" *.mpg).
#pragma once

#include <string>
#include <vector>

// Splits a task's parameter text into its tokens. A double quote toggles the
// quoted state and stays in the token until the token ends; a blank outside
// quotes ends the token, so two blanks in a row give an empty token. Each
// token loses its surrounding quotes. The token still open at the end of the
// text counts only when it is not empty.
std::vector<std::string> SplitParameterText(const std::string& text);
