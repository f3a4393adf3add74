#include "platform/utf.h"

#include <cstdint>

std::size_t Utf16Length(const char16_t* text)
{
    std::size_t length = 0;
    if (text != nullptr)
        while (text[length] != 0)
            ++length;
    return length;
}

namespace {

// Decodes one code point at `input[*pos]`; false when malformed.
bool DecodeUtf8(std::string_view input, std::size_t* pos, char32_t* codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(input[i]); };
    const std::uint8_t lead = byte(*pos);
    std::size_t extra = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        ++*pos;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (*pos + extra >= input.size())
        return false;
    for (std::size_t i = 1; i <= extra; ++i) {
        const std::uint8_t next = byte(*pos + i);
        if ((next & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    *codePoint = value;
    *pos += extra + 1;
    return true;
}

constexpr char16_t EscapeBase = 0xDC00;

bool IsEscapedByte(char16_t unit)
{
    return unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF;
}

// A low unit of a valid pair is never taken for an escaped byte.
bool IsPairAt(std::u16string_view units, std::size_t pos)
{
    return units[pos] >= 0xD800 && units[pos] <= 0xDBFF && pos + 1 < units.size() && units[pos + 1] >= 0xDC00 &&
           units[pos + 1] <= 0xDFFF;
}

void AppendUtf16(char32_t cp, std::u16string* output)
{
    if (cp < 0x10000) {
        output->push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        output->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        output->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

} // namespace

bool Utf8ToUtf16(std::string_view input, char16_t* output, std::size_t capacity, std::size_t* written)
{
    std::size_t in = 0;
    std::size_t out = 0;
    while (in < input.size()) {
        char32_t cp = 0;
        if (!DecodeUtf8(input, &in, &cp))
            return false;
        if (cp < 0x10000) {
            if (out + 1 > capacity)
                return false;
            output[out++] = static_cast<char16_t>(cp);
        } else {
            if (out + 2 > capacity)
                return false;
            cp -= 0x10000;
            output[out++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            output[out++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
    }
    *written = out;
    return true;
}

bool Utf16ToUtf8(std::u16string_view input, char* output, std::size_t capacity, std::size_t* written)
{
    std::size_t out = 0;
    for (std::size_t in = 0; in < input.size(); ++in) {
        char32_t cp = input[in];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (in + 1 >= input.size() || input[in + 1] < 0xDC00 || input[in + 1] > 0xDFFF)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (input[in + 1] - 0xDC00);
            ++in;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        char bytes[4];
        std::size_t count = 0;
        if (cp < 0x80) {
            bytes[count++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            bytes[count++] = static_cast<char>(0xC0 | (cp >> 6));
            bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes[count++] = static_cast<char>(0xE0 | (cp >> 12));
            bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            bytes[count++] = static_cast<char>(0xF0 | (cp >> 18));
            bytes[count++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        if (out + count > capacity)
            return false;
        for (std::size_t i = 0; i < count; ++i)
            output[out++] = bytes[i];
    }
    *written = out;
    return true;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view input)
{
    std::u16string result(input.size(), u'\0');
    std::size_t written = 0;
    if (!Utf8ToUtf16(input, result.data(), result.size(), &written))
        return std::nullopt;
    result.resize(written);
    return result;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view input)
{
    std::string result(input.size() * 3, '\0');
    std::size_t written = 0;
    if (!Utf16ToUtf8(input, result.data(), result.size(), &written))
        return std::nullopt;
    result.resize(written);
    return result;
}

std::u16string NameToUtf16(std::string_view bytes)
{
    std::u16string result;
    result.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t cp = 0;
        if (DecodeUtf8(bytes, &pos, &cp)) {
            AppendUtf16(cp, &result);
        } else {
            result.push_back(static_cast<char16_t>(EscapeBase + static_cast<std::uint8_t>(bytes[pos])));
            ++pos;
        }
    }
    return result;
}

std::optional<std::string> Utf16ToName(std::u16string_view units)
{
    std::string result;
    result.reserve(units.size() * 3);
    std::size_t start = 0;
    // Runs between escaped bytes convert strictly.
    const auto flushRun = [&](std::size_t end) {
        const std::optional<std::string> run = Utf16ToUtf8(units.substr(start, end - start));
        if (run)
            result += *run;
        return run.has_value();
    };
    for (std::size_t pos = 0; pos < units.size(); ++pos) {
        if (IsPairAt(units, pos)) {
            ++pos;
        } else if (IsEscapedByte(units[pos])) {
            if (!flushRun(pos))
                return std::nullopt;
            result.push_back(static_cast<char>(units[pos] - EscapeBase));
            start = pos + 1;
        }
    }
    if (!flushRun(units.size()))
        return std::nullopt;
    return result;
}

bool HoldsEscapedByte(std::u16string_view units)
{
    for (std::size_t pos = 0; pos < units.size(); ++pos) {
        if (IsPairAt(units, pos))
            ++pos;
        else if (IsEscapedByte(units[pos]))
            return true;
    }
    return false;
}

bool RecordedNameHoldsEscapedByte(std::u16string_view reported)
{
    while (reported.size() > 1 && reported.back() == u'/')
        reported.remove_suffix(1);
    const std::size_t slash = reported.rfind(u'/');
    return HoldsEscapedByte(slash == std::u16string_view::npos ? reported : reported.substr(slash + 1));
}

std::string EscapedNamesNote(std::size_t count)
{
    return count == 1 ? "1 name that is not valid UTF-8 was stored byte for byte"
                      : std::to_string(count) + " names that are not valid UTF-8 were stored byte for byte";
}
