#pragma once
// What the tests of the ivqa program share: the module to build archives
// with, sample trees, tree comparison.

#include "module_test_support.h"

#include <string>
#include <vector>

// The real modules exist only outside the sanitizer build; there, a
// stand-in of the same length (zeros, as the padded module ends) is used.
bool HaveRealModules();

// The --module arguments for `key` ("en" or "ru"): none for the default
// English module, the language, or the path of a stand-in in `dir`.
std::vector<std::string> ModuleArgs(const TempDir& dir, const std::string& key = "en");

// src/input/ with a text file, an empty file, a file of more than one
// block, a nested folder, an empty folder and a non-ASCII name; and
// src/top.txt beside it. Returns src.
std::string MakeInputTree(const TempDir& dir);

// The same entries, each file with the same bytes.
void ExpectSameTree(const std::string& expected, const std::string& actual);

// `ivqa create -o OUT ...` with the passphrase on standard input.
std::vector<std::string> CreateArgs(const TempDir& dir, const std::string& output,
                                    const std::vector<std::string>& rest, const std::string& module = "en");
