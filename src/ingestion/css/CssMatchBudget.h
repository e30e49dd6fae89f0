#pragma once

// Css::MatchBudget: how much selector matching one document may cost. Every element entered adds
// kStepsPerElement to the allowance, on top of kBaseSteps, so a document may spend steps linear in
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
    static constexpr qint64 kBaseSteps = 200000;
    static constexpr qint64 kStepsPerElement = 1000;

    void enterElement() { m_allowance += kStepsPerElement; }
    void spend(qint64 steps) { m_spent += steps; }
    bool exhausted() const { return m_spent >= m_allowance; }
    // Rules from index `rule` on are skipped from now on.
    void cutAt(int rule) { m_limit = qMin(m_limit, rule); }
    int ruleLimit() const { return m_limit; }
    bool cut() const { return m_limit != std::numeric_limits<int>::max(); }
    qint64 steps() const { return m_spent; }

private:
    qint64 m_allowance = kBaseSteps;
    qint64 m_spent = 0;
    int m_limit = std::numeric_limits<int>::max();
};

} // namespace Css
