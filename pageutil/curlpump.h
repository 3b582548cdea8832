#pragma once

#include <QObject>
#include <QElapsedTimer>
#include <QTimer>

#include <curl/curl.h>

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QSocketNotifier;

namespace Module1::detail {

// One transfer owned by one fetch call; the pump marks it done.
struct Transfer
{
    CURL *easy = nullptr;
    QByteArray body;
    qint64 maxBody = 0;
    bool done = false;
    CURLcode result = CURLE_OK;
    int firstStatus = 0; // of the first response, before any redirect is followed
    char error[CURL_ERROR_SIZE] = {};
};

// Drives libcurl's multi socket interface from Qt's event loop: curl's sockets map onto
// socket notifiers and its timer onto a single-shot QTimer. One multi handle serves every
// call, so its connection cache keeps connections alive between pages.
class CurlPump : public QObject
{
    Q_OBJECT
public:
    static CurlPump &instance();
    ~CurlPump() override;

    // Easy handles are kept for the next transfers; a returned one is reset to defaults.
    CURL *takeEasy();
    void giveBackEasy(CURL *easy);

    void add(Transfer *transfer);
    // At most n connections to one host (0: no limit); returns the limit it replaces.
    int setMaxHostConnections(int n);
    // Takes a transfer out of the multi handle, finished or not.
    void remove(Transfer *transfer);

private:
    explicit CurlPump(QObject *parent);

    struct Watch
    {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };

    static int onSocket(CURL *easy, curl_socket_t s, int what, void *pump, void *);
    static int onTimer(CURLM *multi, long timeoutMs, void *pump);
    void watch(curl_socket_t s, int what);
    void act(curl_socket_t s, int events);
    void collectDone();
    void retire(Watch &w);
    void setDue(long timeoutMs);

    void startOrStopCheck();

    CURLM *m_multi = nullptr;
    QTimer m_timer;
    // Windows reuses socket handles at once, and Qt's notifier of a closed socket can silence a
    // new one of the same handle; while transfers run, libcurl looks at its sockets itself now
    // and then, so such a transfer still ends.
    QTimer m_check;
    QElapsedTimer m_clock;
    qint64 m_dueMs = -1; // when libcurl wants its timeout, on m_clock; -1 for never
    static constexpr size_t kSpareEasy = 2;
    static constexpr int kAtOnce = 4; // zero timeouts served in one go
    static constexpr long kKeptConnections = 32; // twice the most a run has in flight
    std::vector<CURL *> m_spareEasy;
    std::unordered_map<curl_socket_t, Watch> m_watches;
    // Notifiers curl no longer needs; dropped where none of them can be mid-signal.
    std::vector<std::unique_ptr<QSocketNotifier>> m_retired;
    std::unordered_set<Transfer *> m_active;
    int m_maxHostConnections = 0;
};

} // namespace Module1::detail
