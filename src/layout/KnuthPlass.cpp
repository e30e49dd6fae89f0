#include "KnuthPlass.h"


#include <algorithm>
#include <cmath>
#include <limits>

namespace KnuthPlass {

namespace {

constexpr double kFinishingStretch = 1e7;
constexpr double kNaturalWidthStretch = 100000; // a line holding the finishing glue is set natural
constexpr double kNoStretchRatio = 10000;
constexpr double kCannotSetRatio = -10000;
constexpr double kBadnessCap = 1e7;
constexpr double kRescueDemerits = 1e8;

// One feasible breakpoint of a pass; nodes refer to each other by index into the pass's array.
struct Node {
    int position = -1;  // index of the break item; -1 for the paragraph start
    int lineStart = 0;  // first item of the line after this break
    int line = 0;
    int fitness = 1;
    double totalDemerits = 0;
    int previous = -1;
};

struct Measure {
    double ratio = 0;
    bool settable = true; // false: overfull with no shrink at all
};

struct Candidate {
    double demerits = std::numeric_limits<double>::infinity();
    int node = -1;
};

class Breaker {
public:
    Breaker(const QList<Item>& items, double lineWidth, const Params& params)
        : m_items(items), m_lineWidth(std::max(lineWidth, 1.0)), m_params(params)
    {
        const qsizetype n = items.size();
        m_sums.resize(n + 1);
        Sums* sum = m_sums.data();
        for (const Item& item : items) {
            sum[1].width = sum[0].width + (item.type == Penalty ? 0 : item.width);
            sum[1].stretch = sum[0].stretch + (item.type == Glue ? item.stretch : 0);
            sum[1].shrink = sum[0].shrink + (item.type == Glue ? item.shrink : 0);
            ++sum;
        }
    }

    QList<Line> run()
    {
        int chosen = pass(m_params.tolerance, false);
        if (chosen < 0)
            chosen = pass(m_params.fallbackTolerance, false);
        if (chosen < 0)
            chosen = pass(std::numeric_limits<double>::infinity(), true);
        if (chosen < 0)
            return {};

        QList<Line> lines;
        for (int index = chosen; m_nodes[index].previous >= 0; index = m_nodes[index].previous) {
            const Node& node = m_nodes[index];
            const Node& before = m_nodes[node.previous];
            const Measure m = measure(before.lineStart, node.position);
            const Item& breakItem = m_items[node.position];
            lines.append({before.lineStart, node.position, m.settable ? m.ratio : kCannotSetRatio,
                          breakItem.type == Penalty && breakItem.flagged && breakItem.width > 0});
        }
        std::reverse(lines.begin(), lines.end());
        return lines;
    }

private:
    Measure measure(int start, int end) const
    {
        const Sums& from = m_sums[start];
        const Sums& to = m_sums[end];
        double length = to.width - from.width;
        if (m_items[end].type == Penalty)
            length += m_items[end].width;
        const double shrink = to.shrink - from.shrink;
        return {adjustmentRatio(length, to.stretch - from.stretch, shrink, m_lineWidth),
                !(length > m_lineWidth && shrink <= 0)};
    }

    static int fitnessClass(double ratio)
    {
        if (ratio < -0.5)
            return 0;
        if (ratio <= 0.5)
            return 1;
        if (ratio <= 1)
            return 2;
        return 3;
    }

    // Glue and ordinary penalties after a break are discarded: the next line starts at a box or
    // at a forced break.
    int nextLineStart(int j) const
    {
        const int n = int(m_items.size());
        for (int k = j + 1; k < n; ++k) {
            const Item& item = m_items[k];
            if (item.type == Box || (item.type == Penalty && item.penalty <= -kInfinity))
                return k;
        }
        return n;
    }

    double demerits(const Node& from, int nodeIndex, int j, double ratio, int fitness) const
    {
        const Item& item = m_items[j];
        const double badness = std::min(100 * std::abs(ratio * ratio * ratio), kBadnessCap);
        double d = (m_params.linePenalty + badness) * (m_params.linePenalty + badness);
        if (item.type == Penalty) {
            const double p = item.penalty;
            if (p >= 0)
                d += p * p;
            else if (p > -kInfinity)
                d -= p * p;
        }
        const bool fromStart = nodeIndex == 0;
        if (!fromStart && item.type == Penalty && item.flagged) {
            const Item& previousBreak = m_items[from.position];
            if (previousBreak.type == Penalty && previousBreak.flagged)
                d += m_params.flaggedDemerit;
        }
        if (!fromStart && std::abs(fitness - from.fitness) > 1)
            d += m_params.fitnessDemerit;
        return d + from.totalDemerits;
    }

    // Returns the index of the chosen final node, or -1 when this pass finds no break sequence.
    int pass(double tolerance, bool rescue)
    {
        const int n = int(m_items.size());
        m_nodes.clear();
        m_nodes.reserve(n / 4 + 8);
        m_nodes.append(Node{});
        m_active = {0};
        m_kept.clear();
        m_kept.reserve(64);
        for (int j = 0; j < n; ++j) {
            if (!isBreakpoint(m_items, j))
                continue;
            // The best line from an active node to this break, per fitness class.
            Candidate candidates[4];
            const int lastDeactivated = weighBreak(j, tolerance, candidates);
            // A node at this break for each class that has a line to it.
            const int lineStart = addNodes(j, candidates);
            // No line at all: give up, or in the last pass set an overfull line and go on.
            if (m_active.isEmpty()) {
                if (!rescue || lastDeactivated < 0)
                    return -1;
                addRescueNode(j, lineStart, lastDeactivated);
            }
        }
        return bestFinalNode();
    }

    // Measures the line from each active node to break j, keeps the nodes a later break can still
    // reach, and fills the candidates; returns the last node dropped (-1 for none).
    int weighBreak(int j, double tolerance, Candidate (&candidates)[4])
    {
        int lastDeactivated = -1;
        const bool forced = m_items[j].type == Penalty && m_items[j].penalty <= -kInfinity;
        m_kept.clear();
        for (int nodeIndex : std::as_const(m_active)) {
            const Node node = m_nodes[nodeIndex];
            const Measure m = measure(node.lineStart, j);
            if (!m.settable) {
                lastDeactivated = nodeIndex;
                continue;
            }
            if (forced || m.ratio < -1)
                lastDeactivated = nodeIndex;
            else
                m_kept.append(nodeIndex);
            if (m.ratio >= -1 && m.ratio <= tolerance) {
                const int fitness = fitnessClass(m.ratio);
                const double total = demerits(node, nodeIndex, j, m.ratio, fitness);
                if (total < candidates[fitness].demerits)
                    candidates[fitness] = {total, nodeIndex};
            }
        }
        std::swap(m_active, m_kept);
        return lastDeactivated;
    }

    // Returns the start of the line after break j, or -1 when no node was made.
    int addNodes(int j, const Candidate (&candidates)[4])
    {
        int lineStart = -1; // found only where a node is made: most breakpoints make none
        for (int fitness = 0; fitness < 4; ++fitness) {
            const Candidate& c = candidates[fitness];
            if (c.node < 0)
                continue;
            lineStart = lineStart < 0 ? nextLineStart(j) : lineStart;
            m_nodes.append({j, lineStart, m_nodes[c.node].line + 1, fitness, c.demerits, c.node});
            m_active.append(int(m_nodes.size()) - 1);
        }
        return lineStart;
    }

    void addRescueNode(int j, int lineStart, int from)
    {
        lineStart = lineStart < 0 ? nextLineStart(j) : lineStart;
        const Node& node = m_nodes[from];
        m_nodes.append({j, lineStart, node.line + 1, 0, node.totalDemerits + kRescueDemerits, from});
        m_active.append(int(m_nodes.size()) - 1);
    }

    // The active node at the paragraph's end with the fewest demerits; -1 for none.
    int bestFinalNode() const
    {
        const int n = int(m_items.size());
        int best = -1;
        for (int nodeIndex : std::as_const(m_active)) {
            const Node& node = m_nodes[nodeIndex];
            if (node.position != n - 1)
                continue;
            if (best < 0 || node.totalDemerits < m_nodes[best].totalDemerits)
                best = nodeIndex;
        }
        return best;
    }

    const QList<Item>& m_items;
    const double m_lineWidth;
    const Params& m_params;
    struct Sums {
        double width = 0;
        double stretch = 0;
        double shrink = 0;
    };
    QList<Sums> m_sums; // prefix sums of the items before each index; entry 0 is all 0
    QList<Node> m_nodes;
    QList<int> m_active; // nodes of the pass a later break can still be reached from
    QList<int> m_kept;   // scratch for the next active list
};

} // namespace

double adjustmentRatio(double length, double stretch, double shrink, double lineWidth)
{
    lineWidth = std::max(lineWidth, 1.0);
    if (length < lineWidth) {
        if (stretch >= kNaturalWidthStretch)
            return 0;
        if (stretch > 0)
            return (lineWidth - length) / stretch;
        return kNoStretchRatio;
    }
    if (length > lineWidth)
        return shrink > 0 ? (lineWidth - length) / shrink : kCannotSetRatio;
    return 0;
}

void finishLine(QList<Item>& items)
{
    while (!items.isEmpty() && items.last().type == Glue)
        items.removeLast();
    if (items.isEmpty() || (items.last().type == Penalty && items.last().penalty <= -kInfinity))
        items.append(Item::box(0));
    items.append(Item::penaltyItem(0, kInfinity, false));
    items.append(Item::glue(0, kFinishingStretch, 0));
    items.append(Item::penaltyItem(0, -kInfinity, false));
}

void finishParagraph(QList<Item>& items)
{
    finishLine(items);
}

QList<Line> breakLines(const QList<Item>& items, double lineWidth, const Params& params)
{
    if (items.isEmpty())
        return {};
    return Breaker(items, lineWidth, params).run();
}

} // namespace KnuthPlass
