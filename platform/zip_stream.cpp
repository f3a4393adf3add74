#include "platform/zip_stream.h"

#include "crypto/crc32.h"
#include "platform/file_time.h"

#include <ctime>

namespace {

constexpr std::uint32_t Max32 = 0xFFFFFFFFU;
constexpr std::uint16_t Utf8NamesFlag = 0x0800;
constexpr std::uint16_t DataDescriptorFlag = 0x0008;
constexpr std::uint16_t VersionPlain = 20;
constexpr std::uint16_t VersionZip64 = 45;
// Made on Unix, so that the upper half of the external attributes is a mode.
constexpr std::uint16_t MadeByUnix = 3 << 8 | VersionZip64;

class Bytes {
public:
    Bytes& U16(std::uint16_t value)
    {
        data.push_back(static_cast<std::uint8_t>(value));
        data.push_back(static_cast<std::uint8_t>(value >> 8));
        return *this;
    }
    Bytes& U32(std::uint32_t value) { return U16(static_cast<std::uint16_t>(value)).U16(static_cast<std::uint16_t>(value >> 16)); }
    Bytes& U64(std::uint64_t value) { return U32(static_cast<std::uint32_t>(value)).U32(static_cast<std::uint32_t>(value >> 32)); }
    Bytes& Append(const std::vector<std::uint8_t>& more)
    {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    Bytes& Append(const std::string& text)
    {
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }

    std::vector<std::uint8_t> data;
};

std::int64_t UnixSeconds(std::uint64_t filetime)
{
    return static_cast<std::int64_t>(filetime / FiletimeTicksPerSecond) - FiletimeUnixEpochSeconds;
}

// MS-DOS date and time in the viewer's local time, as zip tools read them;
// the extra fields below carry the exact UTC values.
std::uint32_t DosDateTime(std::uint64_t filetime)
{
    const std::time_t seconds = static_cast<std::time_t>(UnixSeconds(filetime));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr || local.tm_year < 80 || local.tm_year > 207)
        return (1U << 5 | 1U) << 16; // 1980-01-01 00:00
    const std::uint32_t date = static_cast<std::uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const std::uint32_t time = static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return date << 16 | time;
}

// The Unix time stamp field (last write, seconds) and the NTFS field (all
// three FILETIMEs at full precision).
std::vector<std::uint8_t> TimeFields(const ZipTimes& times)
{
    std::int64_t seconds = UnixSeconds(times.lastWriteTime);
    seconds = seconds < INT32_MIN ? INT32_MIN : seconds > INT32_MAX ? INT32_MAX : seconds;
    Bytes fields;
    fields.U16(0x5455).U16(5);
    fields.data.push_back(1); // last write time present
    fields.U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(seconds)));
    fields.U16(0x000A).U16(32).U32(0).U16(1).U16(24);
    fields.U64(times.lastWriteTime).U64(times.lastWriteTime).U64(times.creationTime);
    return fields.data;
}

} // namespace

bool ZipStream::Emit(const std::uint8_t* data, std::size_t length)
{
    if (failed_ || !sink_(data, length)) {
        failed_ = true;
        return false;
    }
    offset_ += length;
    return true;
}

bool ZipStream::EmitLocalHeader(const Entry& entry)
{
    const std::uint32_t dosTime = DosDateTime(entry.times.lastWriteTime);
    Bytes header;
    header.U32(0x04034B50)
        .U16(entry.zip64Sizes ? VersionZip64 : VersionPlain)
        .U16(entry.directory ? Utf8NamesFlag : Utf8NamesFlag | DataDescriptorFlag)
        .U16(0) // stored
        .U16(static_cast<std::uint16_t>(dosTime))
        .U16(static_cast<std::uint16_t>(dosTime >> 16))
        .U32(0); // CRC: in the descriptor
    // Sizes in the descriptor; 0xFFFFFFFF here says that a ZIP64 field follows.
    header.U32(entry.zip64Sizes ? Max32 : 0).U32(entry.zip64Sizes ? Max32 : 0);
    const std::vector<std::uint8_t> timeFields = TimeFields(entry.times);
    const std::size_t extraLength = timeFields.size() + (entry.zip64Sizes ? 20 : 0);
    header.U16(static_cast<std::uint16_t>(entry.name.size())).U16(static_cast<std::uint16_t>(extraLength));
    header.Append(entry.name);
    if (entry.zip64Sizes)
        header.U16(0x0001).U16(16).U64(0).U64(0);
    header.Append(timeFields);
    return Emit(header.data.data(), header.data.size());
}

long ZipStream::AddDirectory(const std::string& name, const ZipTimes& times)
{
    Entry entry;
    entry.name = name + "/";
    entry.times = times;
    entry.headerOffset = offset_;
    entry.directory = true;
    if (!EmitLocalHeader(entry))
        return -1;
    entries_.push_back(std::move(entry));
    return static_cast<long>(entries_.size() - 1);
}

long ZipStream::BeginFile(const std::string& name, const ZipTimes& times, bool readOnly, std::uint64_t expectedSize)
{
    Entry entry;
    entry.name = name;
    entry.times = times;
    entry.headerOffset = offset_;
    entry.readOnly = readOnly;
    entry.zip64Sizes = expectedSize >= Max32;
    if (!EmitLocalHeader(entry))
        return -1;
    entries_.push_back(std::move(entry));
    open_ = true;
    crcState_ = 0xFFFFFFFFU;
    return static_cast<long>(entries_.size() - 1);
}

bool ZipStream::Write(const std::uint8_t* data, std::size_t length)
{
    Entry& entry = entries_.back();
    if (!open_ || (!entry.zip64Sizes && length > Max32 - 1 - entry.size))
        return false;
    crcState_ = Crc32Update(crcState_, data, length);
    entry.size += length;
    return Emit(data, length);
}

bool ZipStream::EndFile(const ZipTimes& times)
{
    if (!open_)
        return false;
    open_ = false;
    Entry& entry = entries_.back();
    entry.crc = crcState_ ^ 0xFFFFFFFFU;
    entry.times = times;
    Bytes descriptor;
    descriptor.U32(0x08074B50).U32(entry.crc);
    if (entry.zip64Sizes)
        descriptor.U64(entry.size).U64(entry.size);
    else
        descriptor.U32(static_cast<std::uint32_t>(entry.size)).U32(static_cast<std::uint32_t>(entry.size));
    return Emit(descriptor.data.data(), descriptor.data.size());
}

void ZipStream::Remove(long index)
{
    if (index >= 0 && static_cast<std::size_t>(index) < entries_.size())
        entries_[static_cast<std::size_t>(index)].removed = true;
}

bool ZipStream::Finish()
{
    if (open_) {
        // Never listed: its data stays behind as unreferenced bytes.
        entries_.back().removed = true;
        open_ = false;
    }
    const std::uint64_t directoryOffset = offset_;
    std::uint64_t count = 0;
    for (const Entry& entry : entries_) {
        if (entry.removed)
            continue;
        ++count;
        Bytes zip64;
        if (entry.size >= Max32)
            zip64.U64(entry.size).U64(entry.size);
        if (entry.headerOffset >= Max32)
            zip64.U64(entry.headerOffset);
        const std::vector<std::uint8_t> timeFields = TimeFields(entry.times);
        const std::uint32_t dosTime = DosDateTime(entry.times.lastWriteTime);
        const std::uint32_t mode = entry.directory ? 040755U : entry.readOnly ? 0100444U : 0100644U;
        const std::uint32_t dosAttributes = entry.directory ? 0x10U : entry.readOnly ? 0x21U : 0x20U;
        Bytes record;
        record.U32(0x02014B50)
            .U16(MadeByUnix)
            .U16(entry.zip64Sizes || !zip64.data.empty() ? VersionZip64 : VersionPlain)
            .U16(entry.directory ? Utf8NamesFlag : Utf8NamesFlag | DataDescriptorFlag)
            .U16(0)
            .U16(static_cast<std::uint16_t>(dosTime))
            .U16(static_cast<std::uint16_t>(dosTime >> 16))
            .U32(entry.crc);
        const std::uint32_t size32 = entry.size >= Max32 ? Max32 : static_cast<std::uint32_t>(entry.size);
        record.U32(size32).U32(size32);
        const std::size_t zip64Length = zip64.data.empty() ? 0 : 4 + zip64.data.size();
        record.U16(static_cast<std::uint16_t>(entry.name.size()))
            .U16(static_cast<std::uint16_t>(zip64Length + timeFields.size()))
            .U16(0)  // comment
            .U16(0)  // disk
            .U16(0)  // internal attributes
            .U32(mode << 16 | dosAttributes)
            .U32(entry.headerOffset >= Max32 ? Max32 : static_cast<std::uint32_t>(entry.headerOffset));
        record.Append(entry.name);
        if (zip64Length != 0)
            record.U16(0x0001).U16(static_cast<std::uint16_t>(zip64.data.size())).Append(zip64.data);
        record.Append(timeFields);
        if (!Emit(record.data.data(), record.data.size()))
            return false;
    }
    const std::uint64_t directorySize = offset_ - directoryOffset;
    const bool zip64End = count >= 0xFFFF || directoryOffset >= Max32 || directorySize >= Max32;
    if (zip64End) {
        const std::uint64_t recordOffset = offset_;
        Bytes end;
        end.U32(0x06064B50).U64(44).U16(MadeByUnix).U16(VersionZip64).U32(0).U32(0);
        end.U64(count).U64(count).U64(directorySize).U64(directoryOffset);
        end.U32(0x07064B50).U32(0).U64(recordOffset).U32(1);
        if (!Emit(end.data.data(), end.data.size()))
            return false;
    }
    const auto clamp16 = [&](std::uint64_t value) { return zip64End ? std::uint16_t{0xFFFF} : static_cast<std::uint16_t>(value); };
    const auto clamp32 = [&](std::uint64_t value) { return zip64End ? Max32 : static_cast<std::uint32_t>(value); };
    Bytes end;
    end.U32(0x06054B50).U16(0).U16(0).U16(clamp16(count)).U16(clamp16(count));
    end.U32(clamp32(directorySize)).U32(clamp32(directoryOffset)).U16(0);
    return Emit(end.data.data(), end.data.size());
}
