#include "model/SpaceName.h"

#include "core/Utilities.h"

namespace kelmo_model {

namespace {

const wchar_t namePrefix[] = L"NAME=";

int utf8Bytes(wchar_t c) {
    const unsigned long code = static_cast<unsigned long>(c);
    if (code < 0x80) return 1;
    if (code < 0x800) return 2;
    // Each half of a surrogate pair gives two of the pair's four bytes.
    if (code >= 0xD800 && code <= 0xDFFF) return 2;
    if (code < 0x10000) return 3;
    return 4;
}

} // namespace

int storedStringBytes(const CString& text) {
    int bytes = 0;
    for (int i = 0; i < text.GetLength(); ++i) bytes += utf8Bytes(text[i]);
    return bytes;
}

int storedNameBytes(const CString& name) {
    return storedStringBytes(namePrefix) + storedStringBytes(name);
}

CString nameTooLong(const CString& name) {
    const int bytes = storedNameBytes(name);
    if (bytes <= storedStringLimit) return CString();
    return L"The space name is too long: stored with \"NAME=\" it takes " + CUtilities::IntToCString(bytes) +
           L" bytes, and a drawing holds at most " + CUtilities::IntToCString(storedStringLimit) +
           L" (250 plain letters, fewer accented ones).";
}

} // namespace kelmo_model
