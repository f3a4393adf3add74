#include "platform/url_reader.h"

#include "platform/curl_api.h"

namespace {

struct Transfer {
    UrlSink sink;
    void* context;
    bool stopped = false;
};

size_t Receive(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (!transfer->sink(transfer->context, reinterpret_cast<const std::uint8_t*>(data), length)) {
        transfer->stopped = true;
        return 0; // makes libcurl abort with a write error
    }
    return length;
}

} // namespace

bool FetchUrl(const char* url, const char* agentName, UrlSink sink, void* context)
{
    if (!IsRemoteUrl(url))
        return false;
    const CurlApi* curl = GetCurlApi();
    if (curl == nullptr)
        return false;
    CURL* handle = curl->easy_init();
    if (handle == nullptr)
        return false;

    Transfer transfer{sink, context};
    curl->easy_setopt(handle, CURLOPT_URL, url);
    curl->easy_setopt(handle, CURLOPT_USERAGENT, agentName);
    curl->easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl->easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl->easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl->easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
    // A redirect must not turn a remote keyfile into a local file.
    curl->easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl->easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server that stops sending is a failed read, not a hang.
    curl->easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl->easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 60L);
    curl->easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Receive);
    curl->easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    const CURLcode result = curl->easy_perform(handle);
    curl->easy_cleanup(handle);
    return result == CURLE_OK && !transfer.stopped;
}
