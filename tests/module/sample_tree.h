#pragma once
// The sample tree that end-to-end tests archive and extract: every shape of
// entry, with last-write times that test the archive's 100 ns resolution.

#include <cstdint>
#include <string>

// In `input` (created): nested and empty folders, an empty file, files of
// exactly one block and of one block and a byte, a name outside ASCII, a
// read-only file.
void MakeSampleTree(const std::string& input);

// Gives every file below `root` its own last-write time, the first with
// `firstNanoseconds`, each next one `step` nanoseconds further.
void StampTimes(const std::string& root, long firstNanoseconds, long step);

void SetTime(const std::string& path, std::int64_t seconds, long nanoseconds);

// The same entries; each file with the same bytes and the same last-write
// time at the 100 ns the archive stores.
void ExpectSameTree(const std::string& source, const std::string& extracted);

// Null for an empty text, as the library takes "none".
const char16_t* OrNull(const std::u16string& text);
