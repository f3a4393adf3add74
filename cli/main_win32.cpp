// ivqa.exe: the arguments arrive as UTF-16 and are handed on as UTF-8, with
// "/" between the components as everywhere else in the program.

#include "cli/program.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "platform/console_output.h"
#include "platform/win32_path.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

void PrepareStreams()
{
    // Line ends as the program writes them: "\n" in pipes and files.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    RelayConsoleOutput();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    PrepareStreams();
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        auto utf8 = Utf8OfWide(argv[i]);
        if (!utf8)
            return UsageError("", "an argument is not valid UTF-16");
        for (char& c : *utf8) {
            if (c == '\\')
                c = '/';
        }
        arguments.push_back(std::move(*utf8));
    }
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    const int status = RunProgram(argc, pointers.data());
    FinishConsoleOutput();
    return status;
}
