#pragma once
// Hex text for test vectors and for mismatch messages: comparing hex strings
// makes GoogleTest print both buffers in hex.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

inline std::vector<std::uint8_t> FromHex(std::string_view text)
{
    const auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw std::invalid_argument("not a hex digit");
    };
    if (text.size() % 2 != 0)
        throw std::invalid_argument("odd hex length");
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(nibble(text[2 * i]) << 4 | nibble(text[2 * i + 1]));
    return bytes;
}

inline std::string ToHex(std::span<const std::uint8_t> bytes)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (std::uint8_t byte : bytes) {
        text += Digits[byte >> 4];
        text += Digits[byte & 15];
    }
    return text;
}

inline std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

// A deterministic buffer that is not all one value.
inline std::vector<std::uint8_t> PatternBytes(std::size_t length, std::uint8_t seed = 1)
{
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t x = seed;
    for (std::uint8_t& byte : bytes) {
        x = x * 1103515245U + 12345U;
        byte = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}
