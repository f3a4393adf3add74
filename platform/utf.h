#pragma once
// UTF-8 <-> UTF-16 at the boundaries between Linux (bytes) and the archive
// and library interfaces (UTF-16). Conversions are strict: malformed input
// (invalid UTF-8, lone surrogates) is refused rather than altered, since a
// name that cannot be converted faithfully cannot be recorded or restored.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Units before the terminator; null counts as empty.
std::size_t Utf16Length(const char16_t* text);

// Buffer forms, for text that must not land in unwiped heap copies. Write at
// most `capacity` units/bytes (no terminator is added) and store the count in
// `written`. False on malformed input or when the output does not fit.
bool Utf8ToUtf16(std::string_view input, char16_t* output, std::size_t capacity, std::size_t* written);
bool Utf16ToUtf8(std::u16string_view input, char* output, std::size_t capacity, std::size_t* written);

std::optional<std::u16string> Utf8ToUtf16(std::string_view input);
std::optional<std::string> Utf16ToUtf8(std::u16string_view input);

// File names, which on Linux are bytes in no particular encoding: a byte
// that is not part of a valid UTF-8 sequence becomes the lone unit
// 0xDC00 + byte, and such a unit (0xDC80 to 0xDCFF) becomes that byte again,
// so every name round-trips and valid names convert as above. Other lone
// surrogates name nothing here.
std::u16string NameToUtf16(std::string_view bytes);
std::optional<std::string> Utf16ToName(std::u16string_view units);
// Whether a converted name holds such an escaped byte.
bool HoldsEscapedByte(std::u16string_view units);
// The same for the name an entry is recorded under, given what the writer
// reports: a caller's path whole, an entry met in a walk by its bare name;
// either way the recorded name is the last component.
bool RecordedNameHoldsEscapedByte(std::u16string_view reported);
// The one line a creator shows after a run that stored `count` such names.
std::string EscapedNamesNote(std::size_t count);
