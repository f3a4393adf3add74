#pragma once
// The AES-NI block function for AES-256 contexts, chosen at key setup when
// the processor has it. Same output as the table path.

#include "crypto/aes.h"

#include <cstddef>
#include <cstdint>

// Only call where the processor has AES-NI. Keeps the round keys and the
// feedback register in vector registers for the whole call.
void AesNiProcess(AesState* state, std::uint8_t* buffer, std::size_t length, CipherDirection direction);
