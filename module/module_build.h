#pragma once
// What differs between the two builds of the module besides the texts.

#include "module/module_texts.h"

#include <cstddef>
#include <cstdint>

// Dialog units of the layout that differ between the languages.
struct DialogLayout {
    int width;
    int buttonX;
    int buttonWidth;
};

struct ModuleBuild {
    // The length of the padded module file: where the payload begins.
    std::uint64_t payloadOffset;
    // Room for the about text and the help behind it, in UTF-16 units.
    std::size_t helpTextUnits;
    // A stored help length above this cannot come from the writer.
    std::uint16_t maxHelpUnits;
    const ModuleTexts* texts;
    DialogLayout layout;
};

// The two languages' builds; each module file adds where its payload begins.
inline constexpr ModuleBuild EnglishModuleBuild{0, 1426, 1426, &EnglishTexts, {267, 200, 60}};
inline constexpr ModuleBuild RussianModuleBuild{0, 1430, 1430, &RussianTexts, {271, 197, 67}};

constexpr ModuleBuild WithPayloadOffset(ModuleBuild build, std::uint64_t payloadOffset)
{
    build.payloadOffset = payloadOffset;
    return build;
}

// The build this program was linked as (defined once per build).
const ModuleBuild& ThisModuleBuild();
