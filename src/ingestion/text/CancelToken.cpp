#include "text/CancelToken.h"

namespace {

thread_local const CancelToken* t_current = nullptr;

} // namespace

CancelToken CancelToken::create()
{
    CancelToken token;
    token.m_flag = std::make_shared<std::atomic<bool>>(false);
    return token;
}

void CancelToken::cancel() const
{
    if (m_flag)
        m_flag->store(true, std::memory_order_relaxed);
}

bool CancelToken::requested()
{
    return t_current && t_current->isCancelled();
}

CancelToken CancelToken::current()
{
    return t_current ? *t_current : CancelToken();
}

CancelToken::Scope::Scope(CancelToken token)
    : m_token(std::move(token))
    , m_previous(t_current)
{
    t_current = &m_token;
}

CancelToken::Scope::~Scope()
{
    t_current = m_previous;
}
