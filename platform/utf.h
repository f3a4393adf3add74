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
