#pragma once
// The byte feedback mode of AES-256, CAST-256, Blowfish and RC5. Per byte:
// encrypt the register in place, XOR its first byte into the data, shift the
// register one byte towards its start and put the ciphertext byte last. The
// register keeps the ENCRYPTED block's bytes (not the old ones, as textbook
// 8-bit CFB would), and stored archives depend on that.
//
// The mode is written once against a descriptor `Cipher`, a class with:
//   Keys, Register                       what one call reads; the register as
//                                        the block function holds it
//   Register Load(const uint8_t*)        from the state's register bytes
//   void Store(const Register&, uint8_t*)
//   void Encrypt(const Keys&, Register&) the forward block function
//   Register FromByte(uint8_t)           the byte first, zeros after
//   Register Xor(const Register&, const Register&)
//   uint8_t FirstByte(const Register&)
//   Register ShiftIn(const Register& r, const Register& t)
//                                        r moved one byte towards its start,
//                                        with t's first byte in the last place
// Everything inlines, so the register stays in machine registers for the
// whole call.

#include "crypto/byte_order.h"
#include "crypto/cipher.h"

#include <array>
#include <cstddef>
#include <cstdint>

template <class Cipher, bool Decrypt>
inline void FeedbackRun(const typename Cipher::Keys& keys, typename Cipher::Register& reg,
                        std::uint8_t* buffer, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        Cipher::Encrypt(keys, reg);
        const auto input = Cipher::FromByte(buffer[i]);
        const auto mixed = Cipher::Xor(reg, input); // first byte: the output byte
        buffer[i] = Cipher::FirstByte(mixed);
        reg = Cipher::ShiftIn(reg, Decrypt ? input : mixed); // the ciphertext byte enters
    }
}

template <class Cipher>
inline void FeedbackProcess(const typename Cipher::Keys& keys, std::uint8_t* feedback,
                            std::uint8_t* buffer, std::size_t length, CipherDirection direction)
{
    if (length == 0)
        return;
    auto reg = Cipher::Load(feedback);
    if (direction == CipherDirection::Decrypt)
        FeedbackRun<Cipher, true>(keys, reg, buffer, length);
    else
        FeedbackRun<Cipher, false>(keys, reg, buffer, length);
    Cipher::Store(reg, feedback);
}

// The register as 64-bit lanes, byte 0 of the block in the low byte of lane
// 0: the part of a descriptor that every scalar block function shares.
template <std::size_t Lanes>
struct LaneRegisterOps {
    using Register = std::array<std::uint64_t, Lanes>;

    static Register Load(const std::uint8_t* bytes)
    {
        Register reg;
        for (std::size_t lane = 0; lane < Lanes; ++lane)
            reg[lane] = Load64Le(bytes + 8 * lane);
        return reg;
    }

    static void Store(const Register& reg, std::uint8_t* bytes)
    {
        for (std::size_t lane = 0; lane < Lanes; ++lane)
            Store64Le(bytes + 8 * lane, reg[lane]);
    }

    static Register FromByte(std::uint8_t byte)
    {
        Register reg{};
        reg[0] = byte;
        return reg;
    }

    static Register Xor(const Register& a, const Register& b)
    {
        Register reg;
        for (std::size_t lane = 0; lane < Lanes; ++lane)
            reg[lane] = a[lane] ^ b[lane];
        return reg;
    }

    static std::uint8_t FirstByte(const Register& reg) { return static_cast<std::uint8_t>(reg[0]); }

    static Register ShiftIn(const Register& reg, const Register& tail)
    {
        Register out;
        for (std::size_t lane = 0; lane + 1 < Lanes; ++lane)
            out[lane] = reg[lane] >> 8 | reg[lane + 1] << 56;
        out[Lanes - 1] = reg[Lanes - 1] >> 8 | tail[0] << 56;
        return out;
    }
};
