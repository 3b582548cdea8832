#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class QAbstractItemModel;
class QIODevice;

// Stateless page utilities: fetch, pause, text extraction, CSV export and the browser.
namespace Module1 {

enum FailureCode : int {
    InvalidArgument = 5,
    Overflow = 6,
};

// A failure raised to the caller: a numeric code and a non-empty message.
class Failure : public std::exception
{
public:
    explicit Failure(int code);
    Failure(int code, const QString &message);

    int code() const noexcept;
    QString message() const;
    const char *what() const noexcept override;

private:
    int m_code;
    QString m_message;
    QByteArray m_what;
};

// The text the extractions return when a start marker or an anchor is absent.
QString missingValue();

// ---- page fetch and waits ----

// Every request ends by itself. Each fetch is given its limits, so two callers in one program
// (two runs, a run and a test) never share them by accident.
struct FetchLimits
{
    int totalMs = 30000;
    int lowSpeedBytesPerSecond = 100;
    int lowSpeedSeconds = 10;
    qint64 maxBodyBytes = 16 * 1024 * 1024;
    int maxRedirects = 5;
    // A connection nobody answers ends sooner than the whole request may take.
    int connectMs = 10000;
    // Hosts pinned to addresses, as "host:port:address" (curl's --resolve), looked up in no DNS.
    QList<QByteArray> pinnedHosts;
    // Who is asking, so that a site can tell the tool's requests apart; empty: VqLirra/VERSION.
    QByteArray userAgent;
    // An authority trusted besides the system's (a PEM file), for a company proxy or a private site.
    QString caFile;
};

// The page at url decoded to text; the empty text on any failure. Window events keep
// flowing while it waits, so handlers (and nested fetches) may run inside.
QString fetchPage(const QString &url, const FetchLimits &limits = FetchLimits());
// The same, decoding into page and reusing its storage: a run fetches thousands of pages of
// much the same size, and fresh memory for each costs more than the decoding.
void fetchPage(const QString &url, QString &page, const FetchLimits &limits = FetchLimits());

// What a fetch ran into, as far as a caller deciding on a retry needs to know.
enum class Transport {
    Ok,           // a response came; see the status
    Cancelled,    // cancelWaits() ended the wait
    Refused,      // the connection could not be made
    Reset,        // a send or receive error, a reset connection
    EmptyReply,   // the server closed without answering
    Partial,      // a body shorter than its Content-Length
    Timeout,      // the total, connect or low-speed limit
    NoHost,       // the host name (or the proxy's) could not be resolved
    RedirectLoop, // more redirects than allowed
    TooLarge,     // a body over the cap
    Malformed,    // a reply that is not HTTP, or an encoding that cannot be undone
    Scheme,       // a scheme that is not fetched (or redirected to)
    Certificate,  // the site's certificate is not trusted, has expired or names another host
    Other,
};

struct FetchOutcome
{
    int curlCode = 0;          // libcurl's result
    Transport transport = Transport::Other;
    int httpStatus = 0;        // 0 when no response came
    qint64 retryAfterMs = -1;  // the response's Retry-After (seconds or a date), -1 without
    // What a page that is no profile says of itself (its title, or its first words); filled
    // when its body was not kept.
    QString gist;
    QString detail; // the transfer library's own words on a failure, for messages
    // The first response was a permanent redirect (301, 308) to this URL, followed.
    QString movedTo;
};

// fetchPage that also says what happened; page is the empty text unless a response came.
// With onlyWith (ASCII), a body that cannot hold that text is not decoded and page is left
// empty: most pages of a sparse range carry no profile, and decoding them costs more than
// everything else done with them.
FetchOutcome fetchPageOutcome(const QString &url, QString &page, QByteArrayView onlyWith = {},
                              const FetchLimits &limits = FetchLimits());

// A page as the extraction reads it: the body's own bytes when they are valid UTF-8 (most
// pages; nothing is decoded), else the text decoded from its charset.
struct Page
{
    bool isUtf8 = false;
    QByteArray utf8;
    QString text;
};

// fetchPageOutcome that leaves UTF-8 pages undecoded.
FetchOutcome fetchPageOutcome(const QString &url, Page &page, QByteArrayView onlyWith = {},
                              const FetchLimits &limits = FetchLimits());

// A fetch whose request goes out now and whose response is read later, so that the next
// page can travel while this one is read. Destroyed unfinished, it is abandoned.
class PendingFetch
{
public:
    explicit PendingFetch(const QString &url, const FetchLimits &limits = FetchLimits());
    PendingFetch(PendingFetch &&) noexcept;
    PendingFetch &operator=(PendingFetch &&) noexcept;
    ~PendingFetch();

    // True once the response is in (or the fetch failed, or was cancelled): finish() then
    // returns without waiting.
    bool ready() const;
    // Waits for the response, as fetchPageOutcome does; once only. A response that came in
    // whole is told to answered, if given, before its body is read: the next request can be
    // on its way meanwhile.
    using Answered = std::function<void(const FetchOutcome &)>;
    FetchOutcome finish(QString &page, QByteArrayView onlyWith = {});
    FetchOutcome finish(Page &page, QByteArrayView onlyWith = {}, const Answered &answered = {});

    struct State;

private:
    template <typename Take, typename Clear>
    FetchOutcome finishWith(QByteArrayView onlyWith, Take take, Clear clear, const Answered &answered = {});
    std::unique_ptr<State> d;
};

// At most n connections to one host at a time (0: no limit); requests beyond them wait
// for a free connection. Returns the limit it replaces.
int setConnectionsPerHost(int n);

// The proxy the system names for url, in libcurl's form ("http://host:port"); empty for none,
// and always empty for a loopback host.
QByteArray systemProxyFor(const QString &url);

// Decodes a response body by its Content-Type charset, a byte-order mark, a <meta> charset
// in the first 1,024 bytes, or else UTF-8. gbk and gb2312 decode as GB18030.
QString decodePage(const QByteArray &body, const QByteArray &contentType);
// False only when the decoded body certainly lacks asciiMarker (its bytes lack it, and its
// charset writes ASCII as ASCII).
bool pageMayContain(const QByteArray &body, const QByteArray &contentType, QByteArrayView asciiMarker);
void decodePage(const QByteArray &body, const QByteArray &contentType, QString &out);
// Takes body into out: kept as it is when decodePage would read it as UTF-8 and it is valid
// UTF-8, else decoded into out.text. body is left empty, with the storage out held before.
void readPage(QByteArray &body, const QByteArray &contentType, Page &out);

// Waits ms milliseconds with window events flowing; returns at once for ms <= 0.
void pauseMs(int ms);

// Waits ms milliseconds like pauseMs, ending early when keepWaiting() turns false (checked
// after every event) or cancelWaits() is called; true when the whole time passed.
bool waitMs(int ms, const std::function<bool()> &keepWaiting);

// Makes every wait in progress return now (a fetch in flight is aborted and yields the
// empty text). Waits started afterwards behave normally.
void cancelWaits();

// ---- text extraction ----

// The position of the first marker in text at or after from, or -1: exact, case-sensitive.
qsizetype findMarker(QStringView text, QStringView marker, qsizetype from = 0);

QString textBetween(QStringView text, QStringView startMark, QStringView endMark);
QString textAfterAnchor(QStringView text, QStringView anchor, QStringView startMark,
                        QStringView endMark);

// The same on valid UTF-8 (a page read as it came): positions count bytes, and what they
// find is what the searches above find in the decoded text.
qsizetype findMarker(QUtf8StringView text, QUtf8StringView marker, qsizetype from = 0);
QString textBetween(QUtf8StringView text, QUtf8StringView startMark, QUtf8StringView endMark);
QString textAfterAnchor(QUtf8StringView text, QUtf8StringView anchor, QUtf8StringView startMark,
                        QUtf8StringView endMark);
int countOccurrences(QStringView text, QStringView marker);

// What a page says of itself in a few words: its <title>, or else its first words, simplified
// and cut to 60 characters; from the page's text, or from its body as it came.
QString pageGist(QStringView text);
QString pageGist(const QByteArray &body, const QByteArray &contentType);
struct Page;
QString pageGist(const Page &page);

// The number at the start of a field: leading blanks, sign and decimal fraction, rounded
// half to even; 0 when the text does not start with a number; failure 6 beyond 32 bits.
qint32 fieldNumber(QStringView text);

// ---- files and the desktop ----

// Text files are written for Windows code page 936 (GBK), the code page of a Chinese system:
// its bytes for every character it has, GB18030's four-byte form for the rest (an emoji), so
// nothing is lost. decodeText reads such bytes back; ok is false for bytes that are no such
// text.
QByteArray encodeText(QStringView text);
QString decodeText(const QByteArray &bytes, bool *ok = nullptr);

// One line of the CSV layout, with its CR LF, appended to line: a row of the list, or the
// header line.
void appendCsvRow(QString &line, const QAbstractItemModel &list, int row);
// The same for the count cells of a row held apart from any list.
void appendCsvRow(QString &line, const QString *cells, int count);
void appendCsvHeader(QString &line, const QAbstractItemModel &list);

// Writes the list as CSV; true only when the whole file is in place. An empty list returns
// false and touches nothing; a failed write leaves any earlier file of that name intact.
// rowsDone, when given, counts the rows written so far (for a save that runs beside a window).
bool exportListToCsv(const QAbstractItemModel &list, const QString &path, bool withHeader,
                     std::atomic<int> *rowsDone = nullptr);
bool exportListToCsv(const QAbstractItemModel &list, QIODevice &out, bool withHeader, std::atomic<int> *rowsDone = nullptr);

// Hands url to the desktop's default browser; the outcome is not examined.
void openInBrowser(const QString &url);

} // namespace Module1
