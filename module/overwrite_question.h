#pragma once
// The question for an entry that already exists. Besides yes and no, "all"
// replaces this entry and every later one, "none" keeps every later one,
// so that a large restore over an old copy needs one answer.

#include "module/console_frontend.h"
#include "module/module_texts.h"

#include <cstdio>
#include <string_view>

class OverwriteQuestion {
public:
    explicit OverwriteQuestion(OverwritePolicy policy) : policy_(policy) {}

    // `path` is the entry's path inside the archive. Without a terminal on
    // `in` the entry is kept.
    bool Ask(std::FILE* in, std::FILE* err, const ModuleTexts& texts, std::string_view path);

private:
    OverwritePolicy policy_;
};
