#pragma once
// A tiny HTTP server on 127.0.0.1 for remote keyfiles: answers GET /key.bin
// with the keyfile, in small pieces, and anything else with 404. With a
// `cutAfter` below the keyfile's size it announces the whole keyfile but
// closes the connection once that many bytes are sent.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class KeyfileServer {
public:
    explicit KeyfileServer(std::vector<std::uint8_t> body, std::size_t cutAfter = SIZE_MAX);
    ~KeyfileServer();
    KeyfileServer(const KeyfileServer&) = delete;
    KeyfileServer& operator=(const KeyfileServer&) = delete;

    std::string Url(const std::string& path) const;
    int Requests() const { return requests_.load(); }

private:
    void Serve();

    std::vector<std::uint8_t> body_;
    std::size_t cutAfter_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};
