#include "common/char_table.h"

#include "platform/secure_memory.h"

#include <cstring>

namespace {

// Locked and wiped: the bytes choose the characters of a passphrase.
class SecretBytes {
public:
    explicit SecretBytes(std::size_t size) : size_(size) { SecureLock(bytes_, sizeof bytes_); }
    ~SecretBytes() { SecureWipeAndUnlock(bytes_, sizeof bytes_); }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    std::uint8_t* Data() { return bytes_; }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(size_); }

private:
    std::uint8_t bytes_[256] = {};
    std::size_t size_;
};

} // namespace

CharTable::CharTable()
{
    // Its order decides every passphrase: kept out of swap and core dumps.
    SecureLock(table_.data(), table_.size());
    std::uint8_t sequence[94];
    std::size_t length = 0;
    for (int c = 'A'; c <= 'Z'; ++c)
        sequence[length++] = static_cast<std::uint8_t>(c);
    for (int c = 'a'; c <= 'z'; ++c)
        sequence[length++] = static_cast<std::uint8_t>(c);
    for (int c = '0'; c <= '9'; ++c)
        sequence[length++] = static_cast<std::uint8_t>(c);
    for (int c = 33; c <= 126; ++c) {
        const bool alphanumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alphanumeric)
            sequence[length++] = static_cast<std::uint8_t>(c);
    }
    for (std::size_t i = 0; i < table_.size(); ++i)
        table_[i] = sequence[i % length];
}

CharTable::~CharTable()
{
    SecureWipeAndUnlock(table_.data(), table_.size());
}

bool CharTable::Shuffle(RandomSource random)
{
    SecretBytes key(256);
    if (random(key.Data(), key.Size()) != 0)
        return false;
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < table_.size(); ++i) {
        j = static_cast<std::uint8_t>(j + table_[i] + key.Data()[i]);
        std::swap(table_[i], table_[j]);
    }
    return true;
}

bool CharTable::Generate(RandomSource random, std::size_t length, char* out) const
{
    if (length < MinPassphraseLength || length > MaxPassphraseLength)
        return false;
    SecretBytes choice(MaxPassphraseLength);
    if (random(choice.Data(), choice.Size()) != 0)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<char>(table_[choice.Data()[i]]);
    return true;
}
