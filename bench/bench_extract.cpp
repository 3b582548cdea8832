#include "grade.h"
#include "pageutil.h"
#include "profile_page.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {
QString filler(int bytes, int seed)
{
    QString out;
    int n = seed;
    while (out.size() < bytes) {
        out += QStringLiteral("<div class=\"work-item\"><a href=\"/play/%1\" title=\"晴天\"><img src=\"/cover/%1.jpg\">"
                              "<span class=\"work-title\">稻香 后来</span><span class=\"work-meta\">试听 %2</span></a></div>\n")
                   .arg(n)
                   .arg(n * 7 % 10000);
        ++n;
    }
    return out;
}

// About 40 KB with the markers spread through the page as on the real site: the name near
// the top, the grade icons, the script with the IDs and counts, and the counters below.
QString realisticPage()
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>主页</title>") + filler(5000, 1)
        + QStringLiteral("<span class=\"user-name twemoji\">夜光星月🎤</span>") + filler(6000, 2)
        + QStringLiteral("<i class=\"icon singergrade3\"></i>").repeated(4) + filler(8000, 3)
        + QStringLiteral("<script>var userid = '85637230'; var allnum = 72213; var worknum = 394;</script>")
        + filler(8000, 4)
        + QStringLiteral("<li><a href=\"#share_list\"><span class=\"userPage-icon-des\">94个转发</span></a></li>"
                         "<li class=\"userPage-vertical-top4\"><span class=\"userPage-icon-des\">447个关注</span></li>"
                         "<li class=\"userPage-vertical-top5\"><span class=\"userPage-icon-des\">1144个粉丝</span></li>")
        + filler(6000, 5) + QStringLiteral("<div id=\"share_list\"></div></html>");
}

// The text work the run does for one kept profile, on decoded text and on UTF-8 bytes.
template <typename View>
void pageWork(benchmark::State &state, View page)
{
    for (auto _ : state) {
        QString name = ProfilePage::displayName(page);
        QString grade = Grade::derive(page);
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(grade);
        for (int cell : {3, 5, 6, 7, 8, 9}) {
            QString value = ProfilePage::extractCell(page, cell);
            benchmark::DoNotOptimize(value);
        }
    }
    if (Grade::derive(page) != QStringLiteral("人气偶像 4") || ProfilePage::extractCell(page, 9) != u"1144")
        state.SkipWithError("extraction gave a wrong result");
}

void pageWorkText(benchmark::State &state)
{
    const QString page = realisticPage();
    pageWork(state, QStringView(page));
}
BENCHMARK(pageWorkText)->Unit(benchmark::kMicrosecond);

void pageWorkUtf8(benchmark::State &state)
{
    const QByteArray page = realisticPage().toUtf8();
    pageWork(state, QUtf8StringView(page));
    state.counters["page_bytes"] = double(page.size());
}
BENCHMARK(pageWorkUtf8)->Unit(benchmark::kMicrosecond);

// What a fetched body goes through before extraction: checked and kept as UTF-8, or (the same
// page in GBK) decoded.
void readPageAs(benchmark::State &state, const QByteArray &bytes, const QByteArray &contentType)
{
    Module1::Page page;
    for (auto _ : state) {
        QByteArray body = bytes;
        body.detach();
        Module1::readPage(body, contentType, page);
        benchmark::DoNotOptimize(page);
    }
    if ((page.isUtf8 ? QString::fromUtf8(page.utf8) : page.text) != realisticPage())
        state.SkipWithError("the page read is not the page");
}

void readPage(benchmark::State &state) { readPageAs(state, realisticPage().toUtf8(), "text/html"); }
BENCHMARK(readPage)->Unit(benchmark::kMicrosecond);

void readPageGbk(benchmark::State &state)
{
    readPageAs(state, Module1::encodeText(realisticPage()), "text/html; charset=gbk");
}
BENCHMARK(readPageGbk)->Unit(benchmark::kMicrosecond);

// Decoding the same page from UTF-8 bytes, for comparison.
void decode(benchmark::State &state)
{
    const QByteArray bytes = realisticPage().toUtf8();
    const QByteArray type = "text/html; charset=utf-8";
    for (auto _ : state) {
        QString text = Module1::decodePage(bytes, type);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(decode)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
