#include "curlpump.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

namespace Module1::detail {

CurlPump &CurlPump::instance()
{
    // Parented to the application so that it goes with it and no timer outlives the loop.
    static QPointer<CurlPump> pump;
    if (!pump)
        pump = new CurlPump(QCoreApplication::instance());
    return *pump;
}

CurlPump::CurlPump(QObject *parent) : QObject(parent)
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialised);
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlPump::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlPump::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    // libcurl keeps four connections per transfer under way: between two answers of a run
    // with many in flight it closed the others, and each new one cost a TLS handshake.
    curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, kKeptConnections);
#ifdef Q_OS_WIN
    m_check.setInterval(100);
    connect(&m_check, &QTimer::timeout, this, [this] {
        std::vector<curl_socket_t> sockets;
        for (const auto &w : m_watches)
            sockets.push_back(w.first);
        for (curl_socket_t s : sockets)
            act(s, 0); // 0: libcurl finds out itself what the socket is ready for
    });
#endif
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_retired.clear();
        if (m_dueMs < 0)
            return;
        const qint64 early = m_dueMs - m_clock.elapsed();
        if (early > 0) {
            m_timer.start(int(early));
            return;
        }
        m_dueMs = -1;
        act(CURL_SOCKET_TIMEOUT, 0);
    });
}

CurlPump::~CurlPump()
{
    for (Transfer *t : m_active)
        curl_multi_remove_handle(m_multi, t->easy);
    m_active.clear();
    for (CURL *easy : m_spareEasy)
        curl_easy_cleanup(easy);
    curl_multi_cleanup(m_multi); // closes the cached connections; calls onSocket
    m_watches.clear();
    m_retired.clear();
}

CURL *CurlPump::takeEasy()
{
    if (m_spareEasy.empty())
        return curl_easy_init();
    CURL *easy = m_spareEasy.back();
    m_spareEasy.pop_back();
    return easy;
}

void CurlPump::giveBackEasy(CURL *easy)
{
    // A handle keeps its buffers across a reset; a new one would allocate them afresh.
    if (m_spareEasy.size() < kSpareEasy) {
        curl_easy_reset(easy);
        m_spareEasy.push_back(easy);
    } else {
        curl_easy_cleanup(easy);
    }
}

void CurlPump::add(Transfer *transfer)
{
    m_retired.clear();
    transfer->done = false;
    if (curl_multi_add_handle(m_multi, transfer->easy) != CURLM_OK) {
        transfer->done = true;
        transfer->result = CURLE_FAILED_INIT;
        return;
    }
    m_active.insert(transfer);
    startOrStopCheck();
    // libcurl asks for its timeout at once to start the transfer: started here, the request
    // goes out without a pass of the event loop.
    act(CURL_SOCKET_TIMEOUT, 0);
    // The zero timeout asked for is served; the timer now waits for libcurl's next deadline.
    if (m_dueMs < 0)
        m_timer.stop();
    else
        m_timer.start(int(qMax<qint64>(0, m_dueMs - m_clock.elapsed())));
}

int CurlPump::setMaxHostConnections(int n)
{
    const int before = m_maxHostConnections;
    m_maxHostConnections = n;
    curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, long(n));
    return before;
}

void CurlPump::remove(Transfer *transfer)
{
    if (m_active.erase(transfer))
        curl_multi_remove_handle(m_multi, transfer->easy);
    startOrStopCheck();
}

void CurlPump::startOrStopCheck()
{
#ifdef Q_OS_WIN
    if (m_active.empty())
        m_check.stop();
    else if (!m_check.isActive())
        m_check.start();
#endif
}

int CurlPump::onSocket(CURL *, curl_socket_t s, int what, void *pump, void *)
{
    static_cast<CurlPump *>(pump)->watch(s, what);
    return 0;
}

int CurlPump::onTimer(CURLM *, long timeoutMs, void *pump)
{
    static_cast<CurlPump *>(pump)->setDue(timeoutMs);
    return 0;
}

void CurlPump::setDue(long timeoutMs)
{
    // libcurl moves its deadline for nearly every chunk it reads. The timer is only started
    // again when the deadline comes sooner than it is set for; firing early, it waits out the
    // rest.
    if (timeoutMs < 0) {
        m_dueMs = -1;
        m_timer.stop(); // nothing to wake for while the run pauses
        return;
    }
    const long ms = qMin<long>(timeoutMs, 24L * 3600 * 1000);
    const qint64 now = m_clock.elapsed();
    m_dueMs = now + ms;
    if (!m_timer.isActive() || m_timer.remainingTime() > ms)
        m_timer.start(int(ms));
}

void CurlPump::retire(Watch &w)
{
    for (auto *n : {&w.read, &w.write}) {
        if (*n) {
            (*n)->setEnabled(false);
            m_retired.push_back(std::move(*n));
        }
    }
}

void CurlPump::watch(curl_socket_t s, int what)
{
    if (what == CURL_POLL_REMOVE) {
        auto it = m_watches.find(s);
        if (it != m_watches.end()) {
            retire(it->second);
            m_watches.erase(it);
        }
        return;
    }
    Watch &w = m_watches[s];
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !w.read) {
        w.read = std::make_unique<QSocketNotifier>(qintptr(s), QSocketNotifier::Read);
        connect(w.read.get(), &QSocketNotifier::activated, this,
                [this, s] { act(s, CURL_CSELECT_IN); });
    }
    if (wantWrite && !w.write) {
        w.write = std::make_unique<QSocketNotifier>(qintptr(s), QSocketNotifier::Write);
        connect(w.write.get(), &QSocketNotifier::activated, this,
                [this, s] { act(s, CURL_CSELECT_OUT); });
    }
    if (w.read)
        w.read->setEnabled(wantRead);
    if (w.write)
        w.write->setEnabled(wantWrite);
}

void CurlPump::act(curl_socket_t s, int events)
{
    int running = 0;
    curl_multi_socket_action(m_multi, s, events, &running);
    // Data read ahead (a TLS record decrypted past what was asked for) makes libcurl ask for a
    // timeout of 0: served at once, not after a pass of the event loop, which under Wine costs
    // several calls to its server.
    for (int more = 0; more < kAtOnce && m_dueMs >= 0 && m_dueMs <= m_clock.elapsed(); ++more)
        curl_multi_socket_action(m_multi, CURL_SOCKET_TIMEOUT, 0, &running);
    collectDone();
}

void CurlPump::collectDone()
{
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(m_multi, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        Transfer *t = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char **>(&t));
        const CURLcode result = msg->data.result;
        // Removing the handle invalidates msg, so its contents were read first.
        if (t && m_active.erase(t)) {
            curl_multi_remove_handle(m_multi, t->easy);
            t->result = result;
            t->done = true;
        }
    }
    startOrStopCheck();
}

} // namespace Module1::detail
