#pragma once
// What the damage sweeps share: in-process runs of the engine on a payload
// in memory, each into a fresh destination inside a sandbox that must hold
// nothing else afterwards, and the check that a failed run left only whole
// files of the original.

#include "module/extraction_engine.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Path below the destination (directories with a trailing '/') to content.
using Tree = std::map<std::string, std::vector<std::uint8_t>>;

Tree ReadTree(const std::string& root);

// `root` with alpha/one.txt (300 bytes from `seed`), alpha/beta/two.bin (two
// blocks), alpha/beta/empty.txt and three.txt; the writer is given alpha and
// three.txt.
void MakeSweepTree(const std::string& root, std::uint32_t seed);

struct SweepKey {
    std::u16string passphrase;
    std::u16string keyfile; // empty: none
};

// Runs the engine on `payload` into a fresh `root`/dest; fails the test
// when anything else appears in `root`.
ExtractResult ExtractInto(const std::vector<std::uint8_t>& payload, std::uint16_t helpLength,
                          const std::string& root, const SweepKey& key);

// Whatever a failed run leaves is part of the original: no file under its
// name that is not whole, no temporary file.
void ExpectOnlyWholeFiles(const std::string& destination, const Tree& original, std::size_t at);
