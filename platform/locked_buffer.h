#pragma once
// The owner of memory that holds key material or plaintext: whole pages of
// its own from SecureAlloc, zero-filled, locked against paging and kept out
// of core dumps, wiped and freed when the owner goes. Move-only. Throws
// std::bad_alloc when no memory is left, as a container would.

#include "platform/secure_memory.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

template <typename T>
class LockedBuffer {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "the pages are zero-filled and wiped, never constructed or destroyed");

public:
    LockedBuffer() = default;
    explicit LockedBuffer(std::size_t count)
        : data_(static_cast<T*>(SecureAlloc(count * sizeof(T)))), count_(count)
    {
        if (data_ == nullptr)
            throw std::bad_alloc();
    }
    ~LockedBuffer() { SecureFree(data_, count_ * sizeof(T)); }

    LockedBuffer(LockedBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0))
    {
    }
    LockedBuffer& operator=(LockedBuffer&& other) noexcept
    {
        LockedBuffer gone(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        count_ = std::exchange(other.count_, 0);
        return *this;
    }
    LockedBuffer(const LockedBuffer&) = delete;
    LockedBuffer& operator=(const LockedBuffer&) = delete;

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return count_; }
    T& operator[](std::size_t index) { return data_[index]; }
    const T& operator[](std::size_t index) const { return data_[index]; }
    std::span<T> span() { return {data_, count_}; }
    std::span<const T> span() const { return {data_, count_}; }

    // Zeroes every element, as the buffer was when it was made.
    void Wipe() { SecureWipe(data_, count_ * sizeof(T)); }

private:
    T* data_ = nullptr;
    std::size_t count_ = 0;
};

// A copy of `text` in locked memory (at least one element, so that an empty
// text is still a valid buffer).
template <typename Char>
LockedBuffer<Char> LockedCopy(std::basic_string_view<Char> text)
{
    LockedBuffer<Char> copy(text.empty() ? 1 : text.size());
    std::copy(text.begin(), text.end(), copy.data());
    return copy;
}
