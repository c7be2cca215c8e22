#pragma once
// One reader run over arbitrary bytes, as the fuzz target and its replay test drive it.
#include <cstddef>

// Reads the bytes as a drawing into a fresh database and, when they load, writes it again (a damaged
// drawing one time in four).
// Returns true when the bytes loaded.
bool dxfFuzzOne(const char* data, std::size_t size);
