#pragma once
// What the archive writer and the wipe engine report, on a terminal: the
// progress bar, and the question whether an entry that cannot be handled is
// skipped.

#include "cli/library_callbacks.h"
#include "cli/progress_bar.h"

#include <cstdio>
#include <string>
#include <string_view>

struct SkipQuestion {
    std::string_view prefix; // "Can not add " or "Can not remove "
    bool defaultAnswer;      // what an empty answer means
};

enum class SkipPolicy {
    Ask,    // on a terminal; without one the entry fails
    Always, // skip without asking
};

class RunObserver final : public LibraryObserver {
public:
    RunObserver(ProgressBar& bar, std::uint64_t bytesPerStep, SkipQuestion question, SkipPolicy policy,
                std::FILE* in);

    void OnName(std::u16string_view name) override;
    void OnRange(std::uint64_t steps) override;
    void OnStep() override;
    bool OnSkip(std::u16string_view name) override;

    // The same question for an entry the caller cannot even hand to the
    // library (a name that is not UTF-8), shown as `name`, with the reason
    // where there is one.
    bool AskSkip(std::string_view shownName, std::string_view reason = {});

    // The operand the library works on now, so that an entry inside its
    // walk is named with the path leading to it.
    void SetOperand(const std::string& path, bool folder, bool followLinks);

    // How many entries failed with their message already printed.
    std::size_t FailuresReported() const { return failuresReported_; }

    // Entries reported so far (and not skipped) whose recorded name holds
    // bytes that are not UTF-8, stored escaped.
    std::size_t EscapedNames() const { return escapedNames_; }

private:
    ProgressBar& bar_;
    std::uint64_t bytesPerStep_;
    SkipQuestion question_;
    SkipPolicy policy_;
    std::FILE* in_;
    std::size_t escapedNames_ = 0;
    std::string operand_;
    bool operandIsFolder_ = false;
    bool followLinks_ = false;
    std::size_t failuresReported_ = 0;
};
