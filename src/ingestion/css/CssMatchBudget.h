#pragma once

// Css::MatchBudget: how much selector matching one document may cost. Every element entered adds
// StepsPerElement to the allowance, on top of BaseSteps, so a document may spend steps linear in
// its size. When the allowance is spent, the rules from the one being tried on are skipped for
// the rest of the document (the limit only ever moves down), so a hostile sheet degrades to its
// early rules instead of hanging the open. No real book comes near the allowance.
//
// One budget per document walk; not shared between threads.

#include <QtGlobal>

#include <limits>

namespace Css {

class MatchBudget {
public:
    static constexpr qint64 BaseSteps = 200000;
    static constexpr qint64 StepsPerElement = 1000;

    void enterElement() { allowance += StepsPerElement; }
    void spend(qint64 steps) { spent += steps; }
    bool exhausted() const { return spent >= allowance; }
    // Rules from index `rule` on are skipped from now on.
    void cutAt(int rule) { limit = qMin(limit, rule); }
    int ruleLimit() const { return limit; }
    bool cut() const { return limit != std::numeric_limits<int>::max(); }
    qint64 steps() const { return spent; }

private:
    qint64 allowance = BaseSteps;
    qint64 spent = 0;
    int limit = std::numeric_limits<int>::max();
};

} // namespace Css
