#pragma once
// One plot run over arbitrary bytes, as the plot's fuzz target and its replay test drive it.
#include <cstddef>

// Reads the bytes as a drawing and, when they load, plots the model space and each paper layout as a plot
// does (their extents, then every entity drawn, within the drawing's work budget) to a small image in memory.
// Returns true when the bytes loaded.
bool plotFuzzOne(const char* data, std::size_t size);
