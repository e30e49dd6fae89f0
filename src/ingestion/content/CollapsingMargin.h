#pragma once

// Vertical margins that meet with no content, padding or border between them collapse as in CSS:
// the largest positive one plus the most negative one. The layout collapses the margins inside a
// chunk with it, and the chunk builder hands the margins a chunk ends with to the next chunk, so
// that a cut between two blocks leaves the gap between them as it was. A plain value; any thread.

#include <algorithm>

struct CollapsingMargin {
    double positive = 0;
    double negative = 0;

    void add(double margin)
    {
        if (margin > 0)
            positive = std::max(positive, margin);
        else
            negative = std::min(negative, margin);
    }

    double total() const { return positive + negative; }

    friend bool operator==(const CollapsingMargin&, const CollapsingMargin&) = default;
};
