#pragma once
// Fixtures shared by the library tests: scratch directories, file helpers,
// and a way to run a check without root's power over permissions.

#include "scratch_files.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Escaped bytes of a name that was not UTF-8 come back as those bytes.
std::string U8(const std::u16string& utf16);

void MakeDir(const std::string& path);
void MakeSymlink(const std::string& target, const std::string& link);

// Bytes that compress somewhat but not to nothing, reproducible from `seed`.
std::vector<std::uint8_t> SampleBytes(std::size_t length, std::uint32_t seed);

// Descriptors this process holds open.
std::size_t OpenDescriptorCount();

// Threads of this process, and whether their number comes back to
// `expected` within a second.
std::size_t ThreadCount();
bool ThreadCountSettlesAt(std::size_t expected);

// Names of a directory in the order the listing returns them, "." and ".."
// left out.
std::vector<std::string> ListingOrder(const std::string& directory);

// Runs `body` as an unprivileged user when the tests run as root (in a
// forked child that drops to nobody), else in this process. Failures inside
// count as failures of the calling test.
void RunUnprivileged(const std::function<void()>& body);
