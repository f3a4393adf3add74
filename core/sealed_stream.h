#pragma once
// The authenticated cipher's message stream (XChaCha20-Poly1305 secret
// stream): every record and every DataBlock is sealed as one message, stored
// as the LE32 length of its ciphertext and the ciphertext, and an empty
// message tagged final closes the stream. The writer and every reader use
// these two classes, so that the layout exists once.

#include "core/archive_format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct SealedStreamState;

class SealedStreamWriter {
public:
    SealedStreamWriter() = default;
    SealedStreamWriter(const SealedStreamWriter&) = delete;
    SealedStreamWriter& operator=(const SealedStreamWriter&) = delete;
    ~SealedStreamWriter();

    // Keys the stream with the first SealedStreamKeyLength bytes of `key`
    // and fills the stream header (SealedStreamHeaderLength bytes). False
    // without memory.
    bool Start(const std::uint8_t* key, std::uint8_t* streamHeader);
    // The associated data of the first message; the plain header holds the
    // stream header, so it is bound after Start.
    void Bind(std::vector<std::uint8_t> associated) { associated_ = std::move(associated); }
    bool Started() const { return state_ != nullptr; }
    // Wipes and frees the stream state; Started is false afterwards.
    void Release() noexcept;

    // Seals the concatenation of `pieces` (at most SealedMaxPlainLength
    // bytes) as the next message and writes it to `fd`.
    bool Write(int fd, std::span<const std::span<const std::uint8_t>> pieces, bool final);

private:
    SealedStreamState* state_ = nullptr;
    std::uint8_t* plain_ = nullptr; // locked, SealedMaxPlainLength bytes
    std::vector<std::uint8_t> sealed_;
    std::vector<std::uint8_t> associated_;
};

// Reads one exact run of bytes from the archive; false at its end or on a
// failed read.
using SealedSource = bool (*)(void* context, std::uint8_t* buffer, std::size_t length);

class SealedStreamReader {
public:
    enum class Pull {
        Message, // the next message is authenticated and ready to take
        End,     // the final message came, and nothing after it
        Cut,     // the archive ends before the final message
        Damaged, // a message failed, or data follows the final one
    };

    SealedStreamReader() = default;
    SealedStreamReader(const SealedStreamReader&) = delete;
    SealedStreamReader& operator=(const SealedStreamReader&) = delete;
    ~SealedStreamReader();

    // False when the memory cannot be had or the stream header is refused.
    bool Start(const std::uint8_t* key, const std::uint8_t* streamHeader, std::vector<std::uint8_t> associated);

    // Authenticates the next message whole before any of it can be taken.
    // Damaged as well when the message before it was not taken to its end.
    Pull Next(SealedSource source, void* context);
    // The next `length` bytes of the current message; false past its end.
    bool Take(std::uint8_t* buffer, std::size_t length);

    // Wipes and frees everything; Start may follow.
    void Release() noexcept;

private:
    Pull Fail(Pull outcome);

    SealedStreamState* state_ = nullptr;
    std::uint8_t* plain_ = nullptr; // locked, SealedMaxPlainLength bytes
    std::vector<std::uint8_t> sealed_;
    std::vector<std::uint8_t> associated_;
    std::size_t plainLength_ = 0;
    std::size_t taken_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};
