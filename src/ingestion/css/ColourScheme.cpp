#include "css/ColourScheme.h"

#include <atomic>

namespace ColourScheme {

namespace {

std::atomic<bool> s_dark{false};

} // namespace

bool prefersDark()
{
    return s_dark.load(std::memory_order_relaxed);
}

void setPrefersDark(bool dark)
{
    s_dark.store(dark, std::memory_order_relaxed);
}

} // namespace ColourScheme
