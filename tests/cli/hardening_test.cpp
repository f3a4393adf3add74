// The programs a sender runs keep their secrets out of core dumps and away
// from other processes of the user, as the module does.

#include "hardening_probe.h"
#include "module_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct HardenedProgram {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> environment; // "{dir}" stands for that folder
};

std::string Substitute(std::string text, const std::string& dir)
{
    const std::string mark = "{dir}";
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
        text.replace(at, mark.size(), dir);
    return text;
}

} // namespace

// Copies of the program and libivqa.so in a folder that user nobody can
// enter, so the test does not depend on where the build lies.
TEST(ProgramHardening, SenderProgramsDisableCoreDumps)
{
    std::vector<HardenedProgram> programs{
        // Waits for the passphrase on standard input.
        {"ivqa", {"create", "--module", "{dir}/module.iqm", "-o", "{dir}/runtime/out.run", "{dir}/victim.txt"}, {}},
    };
#ifdef IVQA_HAVE_FRONTEND
    programs.push_back({"ironquiver", {}, {"QT_QPA_PLATFORM=offscreen", "IVQA_CONFIG_DIR={dir}/config", "HOME={dir}",
                                           "XDG_RUNTIME_DIR={dir}/runtime"}});
#endif
    const std::string bin = std::getenv("IVQA_BIN_DIR") != nullptr ? std::getenv("IVQA_BIN_DIR") : ".";
    for (const HardenedProgram& program : programs) {
        SCOPED_TRACE(program.name);
        TempDir dir;
        ::chmod(dir.Path().c_str(), 0755);
        for (const std::string& file : {std::string(program.name), std::string("libivqa.so")})
            fs::copy_file(bin + "/" + file, dir / file);
        WriteFile(dir / "victim.txt", "keep me\n");
        // A stand-in that ivqa takes for its module: the run never gets further.
        std::vector<std::uint8_t> module(IVQA_PAYLOAD_OFFSET_EN, 0);
        std::copy_n("\x7f" "ELF", 4, module.begin());
        WriteFile(dir / "module.iqm", module);
        for (const char* folder : {"config", "runtime"}) {
            fs::create_directory(dir / folder);
            ::chmod((dir / folder).c_str(), 0700);
            ASSERT_EQ(::chown((dir / folder).c_str(), 65534, 65534), 0);
        }
        std::vector<std::string> args;
        for (const std::string& arg : program.args)
            args.push_back(Substitute(arg, dir.Path()));
        std::vector<std::string> environment;
        for (const std::string& entry : program.environment)
            environment.push_back(Substitute(entry, dir.Path()));

        const HardeningObservation seen = ObserveHardening(dir / program.name, args, environment);
        ASSERT_TRUE(seen.started);
        EXPECT_TRUE(seen.coreLimitZero);
        if (geteuid() == 0) {
            EXPECT_TRUE(seen.procOwnedByRoot) << "still dumpable";
        }
        EXPECT_FALSE(fs::exists(dir / "runtime/out.run"));
    }
}
