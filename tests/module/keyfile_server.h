#pragma once
// A tiny HTTP server on 127.0.0.1 for remote keyfiles: answers GET /key.bin
// with the keyfile, in small pieces, and anything else with 404.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class KeyfileServer {
public:
    explicit KeyfileServer(std::vector<std::uint8_t> body);
    ~KeyfileServer();
    KeyfileServer(const KeyfileServer&) = delete;
    KeyfileServer& operator=(const KeyfileServer&) = delete;

    std::string Url(const std::string& path) const;
    int Requests() const { return requests_.load(); }

private:
    void Serve();

    std::vector<std::uint8_t> body_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};
