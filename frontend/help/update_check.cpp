#include "frontend/help/update_check.h"

#include "frontend/app/vendor.h"

#include <QUrl>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace {

constexpr qsizetype kReplyLimit = 32;

struct Reply {
    QByteArray bytes;
    bool full = false;
};

size_t receive(char* data, size_t size, size_t count, void* user)
{
    auto* reply = static_cast<Reply*>(user);
    const qsizetype wanted = kReplyLimit - reply->bytes.size();
    const auto length = static_cast<qsizetype>(size * count);
    reply->bytes.append(data, std::min(wanted, length));
    if (reply->bytes.size() < kReplyLimit)
        return size * count;
    // One read of 32 bytes is all there is; stopping here ends the transfer.
    reply->full = true;
    return length <= wanted ? size * count : 0;
}

struct EasyHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

} // namespace

QString updateUrl()
{
    const QString replaced = qEnvironmentVariable(Vendor::kUpdateUrlVariable);
    return replaced.isEmpty() ? QString::fromLatin1(Vendor::kUpdateUrl) : replaced;
}

UpdateReply fetchUpdateReply(const QString& url)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, EasyHandleDeleter> handle(curl_easy_init());
    if (!handle)
        return {UpdateReply::Status::ConnectFailed, {}};
    const QByteArray address = url.toUtf8();
    Reply reply;
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, Vendor::kUpdateAgent);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // The window waits for the answer; a silent host must not hold it long.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 40L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    const CURLcode result = curl_easy_perform(curl);

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    const bool transferred = result == CURLE_OK || (result == CURLE_WRITE_ERROR && reply.full);
    if (status == 0 && !transferred)
        return {UpdateReply::Status::ConnectFailed, {}};
    if (!transferred || status >= 400)
        return {UpdateReply::Status::ReadFailed, {}};
    return {UpdateReply::Status::Received, reply.bytes};
}

QString updateVerdict(const QByteArray& reply)
{
    const qsizetype zero = reply.indexOf('\0');
    const QString text = QString::fromLocal8Bit(zero < 0 ? reply : reply.left(zero));
    if (text == Vendor::kOwnRelease)
        return QStringLiteral("You are using the last version of the program!");
    return QStringLiteral("New version ") + text + QStringLiteral(" is avaliable!\nPlease visit ")
        + Vendor::kHomePageHost + QStringLiteral(" to download it.");
}

QString connectFailureText(const QString& url)
{
    return QStringLiteral("Can not connect to ") + QUrl(url).host()
        + QStringLiteral(" to check for updates!");
}
