#include "side_request.h"

void SideRequest::ask(qint64 id, Reply reply)
{
    m_id = id;
    m_notBeforeMs = 0;
    m_refusals = 0;
    m_out = false;
    m_reply = std::move(reply);
}

void SideRequest::refused(qint64 atMs)
{
    ++m_refusals;
    m_out = false;
    m_notBeforeMs = atMs;
}

void SideRequest::answer(Answer &answer)
{
    if (!m_reply)
        return; // dropped meanwhile
    // Whoever asked may ask again from the reply.
    const Reply reply = std::move(m_reply);
    drop();
    reply(answer);
}

void SideRequest::drop()
{
    m_reply = nullptr;
    m_out = false;
}
