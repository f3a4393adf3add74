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

// The build this program was linked as (defined once per build).
const ModuleBuild& ThisModuleBuild();
