#include "keyfile_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void SendAll(int fd, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t sent = ::send(fd, bytes, length, MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        bytes += sent;
        length -= static_cast<std::size_t>(sent);
    }
}

} // namespace

KeyfileServer::KeyfileServer(std::vector<std::uint8_t> body) : body_(std::move(body))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread(&KeyfileServer::Serve, this);
}

KeyfileServer::~KeyfileServer()
{
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string KeyfileServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void KeyfileServer::Serve()
{
    while (!stop_) {
        pollfd ready{listener_, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0)
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(count));
        }
        ++requests_;
        if (request.rfind("GET /key.bin ", 0) == 0) {
            const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                                     "\r\nConnection: close\r\n\r\n";
            SendAll(client, head.data(), head.size());
            // Odd pieces, so that the reader's 1,024-byte blocks never line up.
            for (std::size_t offset = 0; offset < body_.size(); offset += 700)
                SendAll(client, body_.data() + offset, std::min<std::size_t>(700, body_.size() - offset));
        } else {
            const std::string head = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            SendAll(client, head.data(), head.size());
        }
        ::close(client);
    }
}
