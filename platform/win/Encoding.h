#pragma once
// Text conversions between the module's wide strings and the 8-bit forms its files use.
#include <string>
#include <string_view>

namespace win {

// UTF-8 both ways. Code points that cannot be encoded (surrogates, beyond U+10FFFF) and
// malformed byte sequences become U+FFFD.
std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// Windows-1252 both ways. A character the code page cannot hold is written as '?'.
// The five bytes the code page leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) map to the
// control characters of the same value, as Windows does.
std::string toCp1252(std::wstring_view text);
std::wstring fromCp1252(std::string_view text);

} // namespace win
