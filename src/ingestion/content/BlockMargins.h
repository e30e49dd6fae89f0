#pragma once

// How a block meets the vertical margins that run into it (CollapsingMargin): a container's top
// margin joins them and its top border or padding ends them; a container's bottom border or
// padding ends them and its bottom margin starts the next ones; content ends them. The layout
// places blocks by these rules and the chunk builder follows them to know the margins a chunk
// ends with, so that a cut between two blocks leaves the gap between them as it was.
// A plain value; any thread.

#include "content/ContentModel.h"

struct BlockMargins {
    double before = 0;   // joins the margins running into the block
    bool ends = false;   // the running margins end here: their gap is placed
    double edge = 0;     // the border and padding placed after that gap
    double after = 0;    // starts the margins running out of the block

    static BlockMargins of(int kind, const BoxStyle& box)
    {
        switch (kind) {
        case BlockItem::ContainerStart: {
            const double edge = box.borderTop + box.paddingTop;
            return {box.marginTop, edge > 0, edge, 0};
        }
        case BlockItem::ContainerEnd: {
            const double edge = box.borderBottom + box.paddingBottom;
            return {0, edge > 0, edge, box.marginBottom};
        }
        default:
            return {0, true, 0, 0};
        }
    }

    // The margins running out of the block, from those running into it.
    CollapsingMargin meet(CollapsingMargin running) const
    {
        running.add(before);
        if (ends)
            running = CollapsingMargin();
        running.add(after);
        return running;
    }
};
