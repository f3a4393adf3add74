#include "crypto/cipher.h"

#include "crypto/aes.h"
#include "crypto/blowfish.h"
#include "crypto/cast256.h"
#include "crypto/rc4.h"
#include "crypto/rc5.h"
#include "platform/secure_memory.h"

#include <array>

namespace {

// The suite's view of one cipher: its lengths, the key lengths its key setup
// can take without reading or writing past its state, and its operations.
struct CipherEntry {
    std::uint32_t keyLength;
    std::uint32_t ivLength;
    std::uint32_t minKeyLength;
    std::uint32_t maxKeyLength;
    std::size_t stateSize;
    void (*keySetup)(void* state, const std::uint8_t* key, std::size_t keyLength,
                     const std::uint8_t* iv);
    void (*process)(void* state, std::uint8_t* buffer, std::size_t length,
                    CipherDirection direction);
};

template <class State, void (*KeySetup)(State*, const std::uint8_t*, std::size_t, const std::uint8_t*)>
void KeySetupOf(void* state, const std::uint8_t* key, std::size_t keyLength, const std::uint8_t* iv)
{
    KeySetup(static_cast<State*>(state), key, keyLength, iv);
}

template <class State, void (*Process)(State*, std::uint8_t*, std::size_t, CipherDirection)>
void ProcessOf(void* state, std::uint8_t* buffer, std::size_t length, CipherDirection direction)
{
    Process(static_cast<State*>(state), buffer, length, direction);
}

// RC4 is its own inverse, so it ignores the direction.
void Rc4ProcessOf(void* state, std::uint8_t* buffer, std::size_t length, CipherDirection)
{
    Rc4Crypt(static_cast<Rc4State*>(state), buffer, length);
}

const CipherEntry* EntryOf(std::uint32_t id)
{
    static const std::array<CipherEntry, CipherCount> entries = {{
        {32, 16, 32, 32, sizeof(AesState), &KeySetupOf<AesState, AesKeySetup>,
         &ProcessOf<AesState, AesProcess>},
        {32, 16, 1, 32, sizeof(Cast256State), &KeySetupOf<Cast256State, Cast256KeySetup>,
         &ProcessOf<Cast256State, Cast256Process>},
        {56, 8, 4, 56, sizeof(BlowfishState), &KeySetupOf<BlowfishState, BlowfishKeySetup>,
         &ProcessOf<BlowfishState, BlowfishProcess>},
        {64, 16, 1, 256, sizeof(Rc4State), &KeySetupOf<Rc4State, Rc4KeySetup>, &Rc4ProcessOf},
        {64, 16, 8, 256, sizeof(Rc5State), &KeySetupOf<Rc5State, Rc5KeySetup>,
         &ProcessOf<Rc5State, Rc5Process>},
    }};
    return id < entries.size() ? &entries[id] : nullptr;
}

} // namespace

std::uint32_t CipherKeyLength(std::uint32_t id)
{
    const CipherEntry* entry = EntryOf(id);
    return entry != nullptr ? entry->keyLength : 0;
}

std::uint32_t CipherIvLength(std::uint32_t id)
{
    const CipherEntry* entry = EntryOf(id);
    return entry != nullptr ? entry->ivLength : 0;
}

int CipherInit(CipherContext* context, std::uint32_t id, std::uint32_t keyLength,
               const std::uint8_t* iv, const std::uint8_t* key, CipherDirection direction)
{
    const CipherEntry* entry = EntryOf(id);
    if (entry == nullptr || keyLength < entry->minKeyLength || keyLength > entry->maxKeyLength)
        return 0;
    // Keying a context twice must not leave the first state behind unwiped.
    CipherRelease(context);

    void* state = SecureAlloc(entry->stateSize);
    if (state == nullptr)
        return 0;
    std::uint8_t ivBytes[CipherIvFieldLength] = {};
    for (std::uint32_t i = 0; i < entry->ivLength && iv != nullptr; ++i)
        ivBytes[i] = iv[i];
    entry->keySetup(state, key, keyLength, ivBytes);
    SecureWipe(ivBytes, sizeof ivBytes);

    context->id = id;
    context->state = state;
    context->direction = direction;
    return 1;
}

void CipherProcess(CipherContext* context, std::uint8_t* buffer, std::size_t length)
{
    if (context->state == nullptr || length == 0)
        return;
    EntryOf(context->id)->process(context->state, buffer, length, context->direction);
}

void CipherRelease(CipherContext* context)
{
    if (context->state == nullptr)
        return;
    const CipherEntry* entry = EntryOf(context->id);
    SecureFree(context->state, entry->stateSize);
    context->state = nullptr;
}

void CipherForceAesTablePath(bool force)
{
    AesForceTablePath(force);
}
