#include "core/sda_init.h"

#include "core/key_derivation.h"
#include "core/process_pool.h"
#include "core/record_writer.h"
#include "core/sealed_key.h"
#include "platform/file_status.h"
#include "platform/open_file.h"
#include "platform/secure_memory.h"
#include "platform/utf.h"

#include <optional>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

// The derived key, locked while it exists and wiped on every path.
class KeyBuffer {
public:
    KeyBuffer() { SecureLock(data_, sizeof data_); }
    KeyBuffer(const KeyBuffer&) = delete;
    KeyBuffer& operator=(const KeyBuffer&) = delete;
    ~KeyBuffer() { SecureWipeAndUnlock(data_, sizeof data_); }
    std::uint8_t* Get() { return data_; }

private:
    std::uint8_t data_[KeyBufferLength];
};

CoreResult ToCoreResult(DeriveKeyResult result)
{
    switch (result) {
    case DeriveKeyResult::Ok:
        return IQ_OK;
    case DeriveKeyResult::OutOfMemory:
        return IQ_OUT_OF_MEMORY;
    case DeriveKeyResult::KeyfileError:
        break;
    }
    return IQ_KEYFILE_ERROR;
}

CoreResult WriteHelpBlock(int fd, const char16_t* help, std::size_t units)
{
    std::uint8_t length[2];
    StoreLe16(length, static_cast<std::uint16_t>(units));
    if (!WriteAll(fd, length, sizeof length))
        return IQ_ARCHIVE_ERROR;
    // UTF-16LE is the memory image of the text on this platform.
    if (units > 0 && !WriteAll(fd, help, 2 * units))
        return IQ_ARCHIVE_ERROR;
    return IQ_OK;
}

// The help block as stored: the associated data of the first message.
std::vector<std::uint8_t> HelpBlockBytes(const char16_t* help, std::size_t units)
{
    std::vector<std::uint8_t> bytes(2 + 2 * units);
    StoreLe16(bytes.data(), static_cast<std::uint16_t>(units));
    for (std::size_t i = 0; i < units; ++i)
        StoreLe16(bytes.data() + 2 + 2 * i, static_cast<std::uint16_t>(help[i]));
    return bytes;
}

// The authenticated cipher's header and the keyed stream behind it.
CoreResult InitSealedStream(SdaContext& context, const char16_t* passphrase, const char16_t* keyfile,
                            const char16_t* help, std::size_t helpUnits)
{
    std::uint8_t header[SealedHeaderSize] = {};
    header[HeaderCipherIdOffset] = static_cast<std::uint8_t>(CipherXChaCha20Poly1305);
    const SealedCost cost = WriterSealedCost();
    StoreSealedCost(header, cost);
    std::uint8_t* const salt = header + SealedSaltOffset;
    if (const CoreResult result = DrawRandomBytes(salt, HeaderSaltLength); result != IQ_OK)
        return result;

    std::vector<std::uint8_t> associated = HelpBlockBytes(help, helpUnits);
    {
        KeyBuffer key;
        const DeriveKeyResult derived =
            DeriveSealedKey(cost, passphrase, keyfile, salt, key.Get(), KeyfileAgentName, nullptr);
        if (derived != DeriveKeyResult::Ok)
            return ToCoreResult(derived);
        StoreSealedKeyCheck(header, key.Get());
        if (!context.sealed.Start(key.Get(), header + SealedStreamHeaderOffset))
            return IQ_OUT_OF_MEMORY;
    }
    associated.insert(associated.end(), header, header + sizeof header);
    context.sealed.Bind(std::move(associated));
    return WriteAll(context.archive.Get(), header, sizeof header) ? IQ_OK : IQ_ARCHIVE_ERROR;
}

} // namespace

CoreResult InitArchive(SdaContext& context, const char16_t* archivePath, const char16_t* passphrase,
                       const char16_t* keyfile, std::uint32_t cipherId, const char16_t* help)
{
    // Refused before the archive is touched: an unknown cipher keys nothing,
    // and the module cannot show a longer help text.
    if (cipherId >= CipherCount && cipherId != CipherXChaCha20Poly1305)
        return IQ_ARCHIVE_ERROR;
    const std::size_t helpUnits = Utf16Length(help);
    if (helpUnits > MaxHelpUnits)
        return IQ_ARCHIVE_ERROR;

    context.buffers = BlockBuffers(1);
    if (!context.buffers)
        return IQ_OUT_OF_MEMORY;

    const std::optional<std::string> path = Utf16ToUtf8(archivePath != nullptr ? archivePath : u"");
    if (!path || path->empty())
        return IQ_ARCHIVE_ERROR;
    context.archive = OpenForAppend(path->c_str());
    FileStatus archiveStatus;
    if (!context.archive || !QueryOpenFileStatus(context.archive.Get(), &archiveStatus))
        return IQ_ARCHIVE_ERROR;
    context.archiveDevice = archiveStatus.device;
    context.archiveInode = archiveStatus.inode;
    if (const CoreResult result = WriteHelpBlock(context.archive.Get(), help, helpUnits); result != IQ_OK)
        return result;
    if (cipherId == CipherXChaCha20Poly1305)
        return InitSealedStream(context, passphrase, keyfile, help, helpUnits);

    std::uint8_t header[CipherHeaderSize] = {};
    header[HeaderCipherIdOffset] = static_cast<std::uint8_t>(cipherId);
    std::uint8_t* const iv = header + HeaderIvOffset;
    std::uint8_t* const salt = header + HeaderSaltOffset;
    if (const CoreResult result = DrawRandomBytes(iv, CipherIvLength(cipherId)); result != IQ_OK)
        return result;
    if (const CoreResult result = DrawRandomBytes(salt, HeaderSaltLength); result != IQ_OK)
        return result;

    {
        KeyBuffer key;
        const DeriveKeyResult derived = DeriveKey(cipherId, passphrase, keyfile, salt, key.Get(), KeyfileAgentName);
        if (derived != DeriveKeyResult::Ok)
            return ToCoreResult(derived);
        if (CipherInit(&context.cipher, cipherId, CipherKeyLength(cipherId), iv, key.Get()) == 0)
            return IQ_OUT_OF_MEMORY;
    }

    StoreLe32(header + HeaderCheckValueOffset, CheckValue);
    CipherProcess(&context.cipher, header + HeaderCheckValueOffset, 4);
    return WriteAll(context.archive.Get(), header, sizeof header) ? IQ_OK : IQ_ARCHIVE_ERROR;
}
