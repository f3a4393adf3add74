// libivqa.so exports its C interface and nothing else.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

TEST(LibraryExports, DynamicSymbolTableHoldsExactlyTheElevenExports)
{
    const char* binDir = std::getenv("IVQA_BIN_DIR");
    ASSERT_NE(binDir, nullptr);
    const std::string command =
        std::string("nm -D --defined-only --format=posix '") + binDir + "/libivqa.so' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    ASSERT_TRUE(pipe);

    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        const std::string entry(line);
        exported.insert(entry.substr(0, entry.find(' ')));
    }
    const std::set<std::string> expected = {
        "IQ_SDAInit", "IQ_SDAAddFile", "IQ_SDAAddDir", "IQ_SDAFinal", "IQ_WipeInit",    "IQ_WipeFile",
        "IQ_WipeDir", "IQ_WipeFinal",  "IQ_RmFile",    "IQ_RmDir",    "IQ_RndGetBytes",
    };
    EXPECT_EQ(exported, expected);
}
