#include "crypto/rc4.h"

#include <utility>

void Rc4KeySetup(Rc4State* state, const std::uint8_t* key, std::size_t keyLength,
                 const std::uint8_t* iv)
{
    std::uint8_t* s = state->s;
    std::uint8_t* k = state->k;
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<std::uint8_t>(i);
        k[i] = key[static_cast<std::size_t>(i) % keyLength];
    }
    // Each index is read after the folds before it have changed K.
    for (std::size_t i = 0; i < Rc4IvLength; ++i)
        k[k[i]] ^= iv[i];

    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + k[i]);
        std::swap(s[i], s[j]);
    }
}

void Rc4Crypt(Rc4State* state, std::uint8_t* buffer, std::size_t length)
{
    std::uint8_t* s = state->s;
    std::uint8_t i = 0;
    std::uint8_t j = 0;
    for (std::size_t n = 0; n < length; ++n) {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        buffer[n] ^= s[static_cast<std::uint8_t>(s[i] + s[j])];
    }
}
