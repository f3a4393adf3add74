#include "cli/progress_bar.h"

#include "cli/diagnostics.h"
#include "module/display_text.h"
#include "module/terminal_input.h"

#include "platform/path_calls.h"

namespace {

constexpr auto RedrawInterval = std::chrono::milliseconds(100);

// Characters of UTF-8 text, counting each sequence once.
std::size_t Characters(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// The last `characters` characters, led by "..." when something was cut.
std::string KeepTail(std::string_view utf8, std::size_t characters)
{
    if (Characters(utf8) <= characters)
        return std::string(utf8);
    if (characters <= 3)
        return std::string(characters, '.');
    std::size_t keep = characters - 3;
    std::size_t start = utf8.size();
    while (start > 0 && keep > 0) {
        --start;
        if ((static_cast<unsigned char>(utf8[start]) & 0xC0) != 0x80)
            --keep;
    }
    return "..." + std::string(utf8.substr(start));
}

} // namespace

std::string FormatBytes(std::uint64_t bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string FormatProgressLine(std::string_view name, std::uint64_t bytesDone, double mebibytesPerSecond,
                               int percent, std::size_t width)
{
    char figures[96];
    std::snprintf(figures, sizeof figures, "  %10s  %7.1f MiB/s  %3d%%", FormatBytes(bytesDone).c_str(),
                  mebibytesPerSecond, percent);
    const std::string tail = figures;
    // One column stays free so that the cursor never wraps to the next line.
    const std::size_t room = width > tail.size() + 1 ? width - tail.size() - 1 : 0;
    std::string line = KeepTail(name, room);
    line.append(room - Characters(line), ' ');
    return line + tail;
}

ProgressBar::ProgressBar(std::FILE* stream)
    : stream_(stream), enabled_(IsTerminal(stream) && CurrentVerbosity() != Verbosity::Quiet), started_(std::chrono::steady_clock::now())
{
}

ProgressBar::~ProgressBar()
{
    Clear();
}

void ProgressBar::Begin(std::u16string_view name)
{
    // Only the last component: nested entries arrive as bare names anyway.
    const std::size_t slash = name.rfind(u'/');
    const bool lastIsName = slash != std::u16string_view::npos && slash + 1 < name.size();
    std::string shown = ForTerminal(ToDisplayUtf8(lastIsName ? name.substr(slash + 1) : name));
    for (char& c : shown) {
        if (c == '\n' || c == '\t')
            c = '?';
    }
    name_ = std::move(shown);
    steps_ = done_ = bytesPerStep_ = bytesDone_ = 0;
    Draw(true);
}

void ProgressBar::SetSteps(std::uint64_t steps, std::uint64_t bytesPerStep)
{
    steps_ = steps;
    bytesPerStep_ = bytesPerStep;
    done_ = bytesDone_ = 0;
    Draw(true);
}

void ProgressBar::Step()
{
    Advance(bytesPerStep_);
}

void ProgressBar::Advance(std::uint64_t bytes)
{
    ++done_;
    bytesDone_ += bytes;
    runBytes_ += bytes;
    Draw(done_ >= steps_);
}

void ProgressBar::Clear()
{
    if (!enabled_ || !shown_)
        return;
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    shown_ = false;
}

void ProgressBar::Draw(bool force)
{
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - drawn_ < RedrawInterval)
        return;
    drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double rate = seconds > 0.0 ? static_cast<double>(runBytes_) / 1048576.0 / seconds : 0.0;
    // An entry whose range is known and empty (an empty file) is done.
    int percent = bytesPerStep_ != 0 ? 100 : 0;
    if (steps_ != 0)
        percent = static_cast<int>(done_ >= steps_ ? 100 : done_ * 100 / steps_);
    const std::string line = FormatProgressLine(name_, bytesDone_, rate, percent, TerminalColumns(stream_));
    std::fputs(("\r" + line + "\033[K").c_str(), stream_);
    std::fflush(stream_);
    shown_ = true;
}
