#pragma once
// What the tests of the ivqa program share: the module to build archives
// with, sample trees, tree comparison.

#include "module_test_support.h"

#include <cstdint>
#include <string>
#include <vector>

// The real Linux modules exist only outside the sanitizer build; there, a
// stand-in of the same length (an ELF head, then zeros as the padded module
// ends) is used. The real Windows modules exist only where the cross
// compiler is; a stand-in of theirs begins with "MZ", as a Windows program
// does.
bool HaveRealModules();
bool HaveRealWindowsModules();

// Where the module of `key` ("en" or "ru") for `target` ("linux" or
// "windows") ends and its payload begins.
std::uint64_t PayloadOffsetOf(const std::string& key, const std::string& target = "linux");

// Writes (once) the stand-in module of `key` for `target` in `dir`.
std::string StandInModule(const TempDir& dir, const std::string& key, const std::string& target = "linux");

// The module file that ModuleArgs() names: the real one beside ivqa or the
// stand-in in `dir`.
std::string ModuleFileOf(const TempDir& dir, const std::string& key, const std::string& target = "linux");

// The --module and --target arguments for `key` on `target`: none for the
// default English Linux module, the language, or the path of a stand-in in
// `dir`, followed by "--target windows" for Windows.
std::vector<std::string> ModuleArgs(const TempDir& dir, const std::string& key = "en",
                                    const std::string& target = "linux");

// src/input/ with a text file, an empty file, a file of more than one
// block, a nested folder, an empty folder and a non-ASCII name; and
// src/top.txt beside it. Returns src.
std::string MakeInputTree(const TempDir& dir);

// The same entries, each file with the same bytes.
void ExpectSameTree(const std::string& expected, const std::string& actual);

// The line `ivqa create` ends its standard error with when the build has
// the browser page beside ivqa (none otherwise).
std::string BrowserPageNote();

// `ivqa create -o OUT ...` with the passphrase on standard input.
std::vector<std::string> CreateArgs(const TempDir& dir, const std::string& output,
                                    const std::vector<std::string>& rest, const std::string& module = "en",
                                    const std::string& target = "linux");
