#include "flights.h"

#include <algorithm>

bool Flights::anyAnswerIn() const
{
    return std::any_of(m_out.begin(), m_out.end(), [](const Flight &f) { return f.fetch.ready(); });
}

std::optional<Flights::Flight> Flights::takeOldest()
{
    if (m_out.empty())
        return std::nullopt;
    Flight flight = std::move(m_out.front());
    m_out.erase(m_out.begin());
    return flight;
}

std::optional<Flights::Flight> Flights::takeAnswered()
{
    const auto in = std::find_if(m_out.begin(), m_out.end(), [](const Flight &f) { return f.fetch.ready(); });
    if (in == m_out.end())
        return std::nullopt;
    Flight flight = std::move(*in);
    m_out.erase(in);
    return flight;
}

void Flights::dropBeside()
{
    m_out.erase(std::remove_if(m_out.begin(), m_out.end(), [](const Flight &f) { return f.beside; }), m_out.end());
}

Module1::Page Flights::sparePage()
{
    if (m_spare.empty())
        return {};
    Module1::Page page = std::move(m_spare.back());
    m_spare.pop_back();
    return page;
}

void Flights::recycle(Module1::Page &&page, int most)
{
    if (int(m_spare.size()) <= most)
        m_spare.push_back(std::move(page));
}
