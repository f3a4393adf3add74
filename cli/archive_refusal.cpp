#include "cli/archive_refusal.h"

#include "cli/diagnostics.h"
#include "module/extraction_engine.h"
#include "module/module_texts.h"

int RefuseArchive(const std::string& path, std::string_view reason)
{
    // Before the archive's module is known its language is not either.
    constexpr auto result = static_cast<int>(ExtractResult::ArchiveError);
    PrintFailure(EnglishTexts.resultTexts[result], path, reason);
    return result;
}
