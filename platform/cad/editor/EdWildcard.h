#pragma once
// Wildcard matching as the editor's selection filters and acutWcMatch use it.
#include <string_view>

namespace ed {
// Case-insensitive. Pattern characters: * any run, ? any one character, # a digit,
// @ a letter, . a character that is neither letter nor digit, [...] one of a set
// ([~...] none of it, a-z ranges), ` takes the next character literally,
// , separates alternatives, and ~ at the start of an alternative negates it.
bool wildcardMatch(std::wstring_view text, std::wstring_view pattern);
} // namespace ed

// RTNORM when the text matches the pattern, RTERROR otherwise (also for a null argument).
int acutWcMatch(const wchar_t* string, const wchar_t* pattern);
