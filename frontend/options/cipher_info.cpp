#include "frontend/options/cipher_info.h"

std::optional<CipherInfo> cipherInfo(int cipherId)
{
    switch (cipherId) {
    case 0:
        return CipherInfo{"AES-256", "Joan Daemen and Vincent Rijmen", "128 bits", "14", "CFB",
                          "256 bits", "256 bits"};
    case 1:
        return CipherInfo{"CAST-256", "Carlisle Adams and colleagues", "128 bits", "12", "CFB",
                          "256 bits", "256 bits"};
    case 2:
        return CipherInfo{"Blowfish", "Bruce Schneier", "64 bits", "16", "CFB", "448 bits",
                          "448 bits"};
    case 3:
        return CipherInfo{"RC4", "Ron Rivest", "8 bits", "n/a (stream cipher)", "OFB", "2048 bits",
                          "512 bits"};
    case 4:
        return CipherInfo{"RC5", "Ron Rivest", "128 bits", "18", "CFB", "2048 bits", "512 bits"};
    case 5:
        return CipherInfo{"XChaCha20-Poly1305 (authenticated)", "Daniel J. Bernstein", "512 bits", "20",
                          "AEAD stream", "256 bits", "256 bits"};
    default:
        return std::nullopt;
    }
}
