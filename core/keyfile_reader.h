#pragma once
// One keyfile reader for the library and the module, so that both hash
// exactly the same bytes: a local file ("file://" + path, or a plain path)
// read natively, or an http://, https:// or ftp:// URL through libcurl.

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t KeyfileBlockSize = 1024;

// False stops the reading: ReadKeyfile then returns false.
using KeyfileConsumer = bool (*)(void* context, const std::uint8_t* data, std::size_t length);

// Hands the keyfile to `consume` in pieces of exactly KeyfileBlockSize bytes
// until the last one, which is shorter (empty when the length is a multiple
// of the block size). `block` is the caller's locked buffer of
// KeyfileBlockSize bytes. False when the location names nothing, names a
// local entry that is not a regular file, cannot be read to its end, or the
// consumer stopped it; pieces delivered before are not taken back.
bool ReadKeyfile(const char* location, const char* agentName, std::uint8_t* block,
                 KeyfileConsumer consume, void* context);
