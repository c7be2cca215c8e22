#pragma once
// Temporary files are made beside their target under a name built from the target's own: that name is
// cut, at a whole UTF-8 character, so that the temporary name still fits the file system's limit.
#include <climits>
#include <string>

namespace win {

// The file name cut so that `extra` more bytes (a prefix, a suffix, mkstemp's six characters) still fit.
inline std::string nameForTemporary(std::string name, std::size_t extra) {
    if (name.size() + extra <= NAME_MAX) return name;
    std::size_t keep = extra < NAME_MAX ? NAME_MAX - extra : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name.resize(keep);
    return name;
}

} // namespace win
