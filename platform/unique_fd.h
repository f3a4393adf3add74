#pragma once
// Owner of a file descriptor: closed exactly once, on every path.

#include <unistd.h>
#include <utility>

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    explicit operator bool() const { return Valid(); }
    int Release() { return std::exchange(fd_, -1); }

    // Closes the held descriptor; the result tells whether close succeeded.
    bool Reset(int fd = -1)
    {
        bool ok = true;
        if (fd_ >= 0)
            ok = ::close(fd_) == 0;
        fd_ = fd;
        return ok;
    }

private:
    int fd_ = -1;
};
