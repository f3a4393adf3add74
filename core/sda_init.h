#pragma once
// Opens the module copy, appends the help block and the CipherHeader, and
// keys the context's cipher for the record stream.

#include "core/sda_context.h"

// The agent name under which remote keyfiles are fetched.
inline constexpr char KeyfileAgentName[] = "Ironquiver_Self_Decryptor";

CoreResult InitArchive(SdaContext& context, const char16_t* archivePath, const char16_t* passphrase,
                       const char16_t* keyfile, std::uint32_t cipherId, const char16_t* help);
