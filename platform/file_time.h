#pragma once
// The archive stores times as FILETIME: 100-nanosecond intervals since
// 1601-01-01 UTC.

#include <cstdint>
#include <ctime>

inline constexpr std::uint64_t FiletimeTicksPerSecond = 10000000ULL;
inline constexpr std::int64_t FiletimeUnixEpochSeconds = 11644473600LL;

// Times before 1601 clamp to 0.
inline std::uint64_t TimespecToFiletime(const timespec& time)
{
    const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + FiletimeUnixEpochSeconds;
    if (seconds < 0)
        return 0;
    return static_cast<std::uint64_t>(seconds) * FiletimeTicksPerSecond +
           static_cast<std::uint64_t>(time.tv_nsec) / 100U;
}

inline timespec FiletimeToTimespec(std::uint64_t filetime)
{
    timespec time{};
    time.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(filetime / FiletimeTicksPerSecond) -
                                      FiletimeUnixEpochSeconds);
    time.tv_nsec = static_cast<long>(filetime % FiletimeTicksPerSecond) * 100L;
    return time;
}
