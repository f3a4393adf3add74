#include "reply_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int listenOnLoopback(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

} // namespace

ReplyServer::ReplyServer(QByteArray body, int status) : body_(std::move(body)), status_(status)
{
    listener_ = listenOnLoopback(&port_);
    thread_ = std::thread([this] { serve(); });
}

ReplyServer::~ReplyServer()
{
    stop_ = true;
    thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
}

QString ReplyServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

QByteArray ReplyServer::lastRequest() const
{
    std::lock_guard lock(mutex_);
    return lastRequest_;
}

QString ReplyServer::closedUrl(const QString& path)
{
    int port = 0;
    const int fd = listenOnLoopback(&port);
    if (fd >= 0)
        ::close(fd);
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
}

void ReplyServer::serve()
{
    while (!stop_ && listener_ >= 0) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        QByteArray request;
        char buffer[1024];
        while (!request.contains("\r\n\r\n")) {
            pollfd readable{client, POLLIN, 0};
            if (::poll(&readable, 1, 2000) <= 0)
                break;
            const ssize_t got = ::read(client, buffer, sizeof buffer);
            if (got <= 0)
                break;
            request.append(buffer, got);
        }
        {
            std::lock_guard lock(mutex_);
            lastRequest_ = request;
        }
        const QByteArray reply = "HTTP/1.1 " + QByteArray::number(status_) + " Reply\r\nContent-Length: "
            + QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
        for (qsizetype sent = 0; sent < reply.size();) {
            const ssize_t wrote = ::send(client, reply.constData() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (wrote <= 0)
                break;
            sent += wrote;
        }
        ::close(client);
    }
}
