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

// The temporaries a write of a file goes through are ".~NAME.XXXXXX" beside it (NAME cut to fit): the
// prefix for a file name.
std::string temporaryPrefix(const std::string& fileName);
// Makes the temporary for a write of `target` (a native path) and holds it locked while the descriptor
// is open, so that no sweep takes a write in progress: the descriptor, or -1 with errno set.
int makeTemporary(const std::string& target, std::string& temp);
// Removes the temporaries of `target` that killed writes left behind: the regular files of that
// name form that nobody holds.
void removeStaleTemporaries(const std::string& target);

} // namespace win
