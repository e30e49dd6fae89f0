#pragma once

// Inputs above this size are passed over by every harness: a book of many megabytes is slow by
// its size alone, and a slow input must mean a fault, not a big file.

#include <cstddef>

namespace FuzzLimits {

constexpr std::size_t MaxInputBytes = std::size_t(4) * 1024 * 1024;

} // namespace FuzzLimits
