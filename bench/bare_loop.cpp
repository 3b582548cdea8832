// The practical limit of a sequential harvest: one libcurl easy handle reused for every URL,
// each body appended to memory and dropped, nothing else. Prints the rate like bench_harvest.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
size_t keep(char *data, size_t size, size_t count, void *user)
{
    static_cast<std::string *>(user)->append(data, size * count);
    return size * count;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: bare_loop BASE_URL FIRST LAST\n");
        return 2;
    }
    const std::string base = argv[1];
    const long long first = std::atoll(argv[2]), last = std::atoll(argv[3]);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL *easy = curl_easy_init();
    std::string body;
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &keep);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    long long bytes = 0, failed = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (long long id = first; id <= last; ++id) {
        body.clear();
        const std::string url = base + std::to_string(id);
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        if (curl_easy_perform(easy) != CURLE_OK)
            ++failed;
        bytes += (long long)body.size();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("ids %lld bytes %lld failed %lld seconds %f ids_per_sec %f\n", last - first + 1, bytes, failed,
                seconds, double(last - first + 1) / seconds);
    curl_easy_cleanup(easy);
    curl_global_cleanup();
    return failed == 0 ? 0 : 1;
}
