#pragma once
// The two builds of the self-decrypting module as the command-line program
// knows them: where each reads its payload, its help limit and its texts,
// and where its file lies beside this program.

#include "module/module_build.h"

#include <span>
#include <string>
#include <string_view>

struct KnownModule {
    std::string_view key;      // "en" or "ru", as --module takes it
    std::string_view language; // "English", "Russian"
    std::string_view fileName; // "GUI_en.iqm", "GUI_ru.iqm"
    ModuleBuild build;
};

// English first: the default, and the one tried first on an archive.
std::span<const KnownModule> KnownModules();

const KnownModule* FindKnownModule(std::string_view key);

// The folder of this program, where the modules and libivqa.so lie.
std::string ProgramDirectory();
