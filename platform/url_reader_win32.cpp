#include "platform/url_reader.h"

#include "platform/win32_path.h"

#include <cwchar>
#include <windows.h>
#include <wininet.h>

namespace {

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle()
    {
        if (handle_ != nullptr)
            InternetCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

// WinINet hands over the body of an error page as if it were the resource.
bool StatusIsSuccess(HINTERNET url, const char* location)
{
    if (std::strncmp(location, "ftp://", 6) == 0)
        return true; // a missing FTP file already fails InternetOpenUrlW
    DWORD status = 0;
    DWORD length = sizeof status;
    if (HttpQueryInfoW(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) == 0)
        return false;
    return status >= 200 && status < 300;
}

// WinINet ends a transfer that the server broke off like a complete one;
// an announced length tells the two apart.
bool AnnouncedLength(HINTERNET url, const char* location, std::uint64_t* length)
{
    if (std::strncmp(location, "ftp://", 6) == 0)
        return false;
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (HttpQueryInfoW(url, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) == 0)
        return false;
    wchar_t* end = nullptr;
    *length = std::wcstoull(text, &end, 10);
    return end != text && *end == L'\0';
}

} // namespace

bool FetchUrl(const char* url, const char* agentName, UrlSink sink, void* context)
{
    if (!IsRemoteUrl(url))
        return false;
    const auto wideUrl = WidePath(url);
    const auto agent = WidePath(agentName);
    if (!wideUrl || !agent)
        return false;

    const InternetHandle internet(InternetOpenW(agent->c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet)
        return false;
    // Key material has no business in the disk cache.
    const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE;
    const InternetHandle resource(InternetOpenUrlW(internet.Get(), wideUrl->c_str(), nullptr, 0, flags, 0));
    if (!resource || !StatusIsSuccess(resource.Get(), url))
        return false;

    std::uint64_t announced = 0;
    const bool lengthKnown = AnnouncedLength(resource.Get(), url, &announced);
    std::uint64_t total = 0;
    std::uint8_t piece[4096];
    for (;;) {
        DWORD read = 0;
        if (InternetReadFile(resource.Get(), piece, sizeof piece, &read) == 0) {
            SecureZeroMemory(piece, sizeof piece);
            return false;
        }
        if (read == 0)
            break;
        total += read;
        if (!sink(context, piece, read)) {
            SecureZeroMemory(piece, sizeof piece);
            return false;
        }
    }
    SecureZeroMemory(piece, sizeof piece);
    return !lengthKnown || total == announced;
}
