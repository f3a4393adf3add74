#pragma once
// Word loads and stores in a fixed byte order, whatever the host's. The
// compiler turns each into one (byte-swapping) move.

#include <cstdint>

inline std::uint32_t Load32Le(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline std::uint32_t Load32Be(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

inline std::uint64_t Load64Le(const std::uint8_t* bytes)
{
    return static_cast<std::uint64_t>(Load32Le(bytes)) |
           static_cast<std::uint64_t>(Load32Le(bytes + 4)) << 32;
}

inline std::uint64_t Load64Be(const std::uint8_t* bytes)
{
    return static_cast<std::uint64_t>(Load32Be(bytes)) << 32 |
           static_cast<std::uint64_t>(Load32Be(bytes + 4));
}

inline void Store32Le(std::uint8_t* bytes, std::uint32_t value)
{
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

inline void Store32Be(std::uint8_t* bytes, std::uint32_t value)
{
    bytes[0] = static_cast<std::uint8_t>(value >> 24);
    bytes[1] = static_cast<std::uint8_t>(value >> 16);
    bytes[2] = static_cast<std::uint8_t>(value >> 8);
    bytes[3] = static_cast<std::uint8_t>(value);
}

inline void Store64Le(std::uint8_t* bytes, std::uint64_t value)
{
    Store32Le(bytes, static_cast<std::uint32_t>(value));
    Store32Le(bytes + 4, static_cast<std::uint32_t>(value >> 32));
}

inline void Store64Be(std::uint8_t* bytes, std::uint64_t value)
{
    Store32Be(bytes, static_cast<std::uint32_t>(value >> 32));
    Store32Be(bytes + 4, static_cast<std::uint32_t>(value));
}
