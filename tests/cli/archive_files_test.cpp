// The archive's file: its name, the module at its head, and finding
// the payload behind either module without running it.

#include "cli/archive_output.h"
#include "cli/archive_probe.h"
#include "core/archive_format.h"
#include "ivqa.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TEST(ArchiveFileName, AppendsTheSystemsExtensionUnlessTheNameEndsInExactlyThat)
{
    const struct {
        TargetSystem system;
        const char* requested;
        const char* expected;
    } cases[] = {
        {TargetSystem::Linux, "backup", "backup.run"},
        {TargetSystem::Linux, "backup.run", "backup.run"},
        {TargetSystem::Linux, "backup.RUN", "backup.RUN.run"},
        {TargetSystem::Linux, "dir/a.tar", "dir/a.tar.run"},
        {TargetSystem::Linux, ".run", ".run"},
        {TargetSystem::Linux, "run", "run.run"},
        {TargetSystem::Linux, "backup.exe", "backup.exe.run"},
        {TargetSystem::Windows, "backup", "backup.exe"},
        {TargetSystem::Windows, "backup.exe", "backup.exe"},
        {TargetSystem::Windows, "backup.EXE", "backup.EXE.exe"},
        {TargetSystem::Windows, "backup.run", "backup.run.exe"},
        {TargetSystem::Windows, "a.exe/backup", "a.exe/backup.exe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArchiveFileName(c.requested, c.system), c.expected) << c.requested;
}

TEST(CheckModuleFile, TakesOnlyAProgramOfTheSystemAsLongAsOneOfItsBuilds)
{
    TempDir dir;
    const std::uint64_t linuxLength = FindKnownModule("en", TargetSystem::Linux)->build.payloadOffset;
    const std::uint64_t windowsLength = FindKnownModule("en", TargetSystem::Windows)->build.payloadOffset;
    const auto module = [&](const std::string& name, std::uint64_t length, const std::string& head) {
        std::vector<std::uint8_t> bytes(length, 0);
        std::copy(head.begin(), head.end(), bytes.begin());
        WriteFile(dir / name, bytes);
        return dir / name;
    };
    const struct {
        std::string path;
        TargetSystem system;
        ModuleFileCheck expected;
    } cases[] = {
        {module("linux.iqm", linuxLength, "\x7f" "ELF"), TargetSystem::Linux, ModuleFileCheck::Ours},
        {module("windows.iqm", windowsLength, "MZ"), TargetSystem::Windows, ModuleFileCheck::Ours},
        {dir / "linux.iqm", TargetSystem::Windows, ModuleFileCheck::NotOurs},
        {dir / "windows.iqm", TargetSystem::Linux, ModuleFileCheck::NotOurs},
        {module("short.iqm", linuxLength - 1, "\x7f" "ELF"), TargetSystem::Linux, ModuleFileCheck::NotOurs},
        {module("zeros.iqm", linuxLength, ""), TargetSystem::Linux, ModuleFileCheck::NotOurs},
        {module("tiny.iqm", 3, "MZ"), TargetSystem::Windows, ModuleFileCheck::NotOurs},
        {dir / "missing.iqm", TargetSystem::Linux, ModuleFileCheck::Unreadable},
        {dir.Path(), TargetSystem::Linux, ModuleFileCheck::Unreadable},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckModuleFile(c.path, c.system), c.expected) << c.path;
}

// A stand-in module: zeros up to the offset, as the padded module ends,
// after `head`.
std::string WriteArchive(const TempDir& dir, const std::string& name, std::uint64_t offset, std::uint32_t cipher,
                         const std::u16string& help, const std::string& head = "")
{
    const std::string path = dir / name;
    std::vector<std::uint8_t> module(offset, 0);
    std::copy(head.begin(), head.end(), module.begin());
    WriteFile(path, module);
    SdaContext* context = nullptr;
    EXPECT_EQ(IQ_SDAInit(&context, U16(path).c_str(), u"pass", nullptr, cipher, help.empty() ? nullptr : help.c_str(),
                         nullptr, nullptr, nullptr, nullptr),
              IQ_OK);
    WriteFile(dir / "content.txt", "content");
    EXPECT_EQ(IQ_SDAAddFile(context, U16(dir / "content.txt").c_str(), 5), IQ_OK);
    IQ_SDAFinal(context);
    return path;
}

std::string HeadOf(const KnownModule& module)
{
    return module.system == TargetSystem::Windows ? "MZ" : "\x7f" "ELF";
}

TEST(ProbeArchive, FindsThePayloadBehindEachModule)
{
    TempDir dir;
    const auto modules = KnownModules();
    ASSERT_EQ(modules.size(), 4u);
    for (const KnownModule& module : modules) {
        for (std::uint32_t cipher = 0; cipher < 5; ++cipher) {
            const std::u16string help = cipher % 2 == 0 ? u"" : u"Read me \u00e4";
            const std::string name = std::string(module.fileName) + std::to_string(cipher);
            const std::string path =
                WriteArchive(dir, name, module.build.payloadOffset, cipher, help, HeadOf(module));
            const auto layout = ProbeArchive(path);
            ASSERT_TRUE(layout) << name;
            EXPECT_EQ(layout->module, &module) << name;
            EXPECT_EQ(layout->cipherId, cipher);
            EXPECT_EQ(layout->help, help);
            EXPECT_EQ(layout->fileSize, fs::file_size(path));
        }
    }
    // A Windows build has the help limit of the Linux build of its language.
    EXPECT_EQ(FindKnownModule("ru", TargetSystem::Windows)->build.maxHelpUnits,
              FindKnownModule("ru", TargetSystem::Linux)->build.maxHelpUnits);
    EXPECT_EQ(FindKnownModule("en", TargetSystem::Windows)->build.texts, &EnglishTexts);
}

// Inside a Windows module, where a Linux build would end, lie what could pass
// for a payload: the head of the archive decides which builds come first.
TEST(ProbeArchive, TheHeadsSystemIsTriedFirst)
{
    TempDir dir;
    const KnownModule& linuxEn = *FindKnownModule("en", TargetSystem::Linux);
    const KnownModule& windowsEn = *FindKnownModule("en", TargetSystem::Windows);
    const auto decoy = ReadFile(WriteArchive(dir, "decoy", linuxEn.build.payloadOffset, 1, u""));
    auto bytes = ReadFile(WriteArchive(dir, "windows", windowsEn.build.payloadOffset, 3, u"", "MZ"));
    // Without a head and without the decoy, the Windows build is still found.
    auto headlessClean = bytes;
    headlessClean[0] = headlessClean[1] = 0;
    WriteFile(dir / "headless-clean", headlessClean);
    const auto clean = ProbeArchive(dir / "headless-clean");
    ASSERT_TRUE(clean);
    EXPECT_EQ(clean->module, &windowsEn);

    std::copy(decoy.begin() + linuxEn.build.payloadOffset, decoy.begin() + linuxEn.build.payloadOffset + 2 + CipherHeaderSize,
              bytes.begin() + linuxEn.build.payloadOffset);
    WriteFile(dir / "windows", bytes);

    const auto layout = ProbeArchive(dir / "windows");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->module, &windowsEn);
    EXPECT_EQ(layout->cipherId, 3u);

    // A head that is gone leaves the Linux builds first, and the decoy wins.
    bytes[0] = bytes[1] = 0;
    WriteFile(dir / "headless", bytes);
    const auto headless = ProbeArchive(dir / "headless");
    ASSERT_TRUE(headless);
    EXPECT_EQ(headless->module, &linuxEn);
}

TEST(ProbeArchive, RefusesFilesThatHoldNoPayloadWhereAModulePutsIt)
{
    TempDir dir;
    const std::uint64_t offset = KnownModules()[0].build.payloadOffset;
    const std::string good = WriteArchive(dir, "good.run", offset, 0, u"help");
    const auto bytes = ReadFile(good);
    const std::size_t header = offset + 2 + 2 * 4;

    const auto variant = [&](const std::string& name, auto change) {
        auto copy = bytes;
        change(copy);
        WriteFile(dir / name, copy);
        return dir / name;
    };
    const std::string cases[] = {
        variant("bare-module", [&](auto& b) { b.resize(offset); }),
        variant("cut-in-header", [&](auto& b) { b.resize(header + CipherHeaderSize - 1); }),
        variant("cipher-6", [&](auto& b) { b[header] = 6; }),
        variant("reserved-set", [&](auto& b) { b[header + 34] = 1; }),
        variant("salt-zero", [&](auto& b) { std::fill_n(b.begin() + header + HeaderSaltOffset, 16, 0); }),
        variant("help-over-limit", [&](auto& b) { StoreLe16(b.data() + offset, 1431); }),
        variant("text", [&](auto& b) { b.assign(3 * offset, 'x'); }),
        dir / "missing",
        dir.Path(),
    };
    ASSERT_TRUE(ProbeArchive(good));
    for (const std::string& path : cases)
        EXPECT_FALSE(ProbeArchive(path)) << path;
}

TEST(ProbeArchive, BlowfishIvTailMustBeZero)
{
    TempDir dir;
    const std::uint64_t offset = KnownModules()[0].build.payloadOffset;
    const std::string path = WriteArchive(dir, "blowfish.run", offset, 2, u"");
    ASSERT_TRUE(ProbeArchive(path));
    auto bytes = ReadFile(path);
    bytes[offset + 2 + HeaderIvOffset + 8] = 1;
    WriteFile(path, bytes);
    EXPECT_FALSE(ProbeArchive(path));
}

} // namespace
