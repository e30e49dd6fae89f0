#pragma once

// What the painter and the reading model rely on in a laid-out chunk (ChunkLayout.h), checked on
// a harness's result; a broken promise aborts (ChunkChecks::require).
//
// Stateless; any thread.

#include "ChunkLayout.h"

namespace LayoutChecks {

// Finite geometry, lines in increasing y, images no wider than the layout, and tile edges that
// cut the chunk into bands no taller than ChunkLayout::kMaxTileHeight.
void checkLayout(const ChunkLayout& layout);

} // namespace LayoutChecks
