#pragma once
// The builds of the self-decrypting module as the creating programs know
// them: where each reads its payload, its help limit and its texts, which
// system it runs on, where its file lies beside the program, and the name a
// new archive of that system gets.

#include "module/module_build.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The recipient's system: the module at the head of an archive runs there.
enum class TargetSystem { Linux, Windows };

struct KnownModule {
    std::string_view key;      // "en" or "ru", as --module takes it
    TargetSystem system;
    std::string_view language; // "English", "Russian"
    std::string_view fileName; // "GUI_en.iqm", "GUI_ru.iqm", "GUI_en.exe.iqm", "GUI_ru.exe.iqm"
    ModuleBuild build;
};

// The Linux builds first, English before Russian: the default, and the
// order in which an archive is tried unless its head names another system.
std::span<const KnownModule> KnownModules();

const KnownModule* FindKnownModule(std::string_view key, TargetSystem system);

// "Linux", "Windows".
std::string_view TargetSystemName(TargetSystem system);

// ".run" for Linux, ".exe" for Windows.
std::string_view ArchiveExtension(TargetSystem system);

// Appends the system's extension unless the name already ends in exactly it
// (compared case-sensitively).
std::string ArchiveFileName(const std::string& requested, TargetSystem system);

// The folder of this program, where the modules and libivqa.so lie in a
// build or unpacked folder.
std::string ProgramDirectory();

// The module file `fileName`: beside this program when it is there, else in
// the installed tree's private folder (named relative to this program, so a
// relocated tree finds its own). A module found in neither place is named
// beside the program, so that the failure names the first place looked at.
std::string ModuleFilePath(std::string_view fileName);

// The folder the modules are taken from: `programDir` when it holds any of
// them, else the private folder `privateDirFromProgram` relative to it when
// that holds one, else `programDir` again (so that a failure names it).
std::string ModuleDirectory(const std::string& programDir, std::string_view privateDirFromProgram);
