#pragma once
// Owners of the Win32 handles the library's walks hold: a file or folder
// handle and a directory listing, each closed exactly once on every path.

#include <utility>
#include <windows.h>

class Win32Handle {
public:
    Win32Handle() = default;
    explicit Win32Handle(HANDLE handle) : handle_(handle) {}
    Win32Handle(const Win32Handle&) = delete;
    Win32Handle& operator=(const Win32Handle&) = delete;
    Win32Handle(Win32Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Win32Handle& operator=(Win32Handle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.handle_, INVALID_HANDLE_VALUE));
        return *this;
    }
    ~Win32Handle() { Reset(); }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (*this)
            CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class FindListing {
public:
    FindListing() = default;
    FindListing(const FindListing&) = delete;
    FindListing& operator=(const FindListing&) = delete;
    ~FindListing() { Reset(); }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
