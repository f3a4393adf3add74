#pragma once
// Operands naming files and folders, made ready for the library's calls.

#include <optional>
#include <string>

struct InputPath {
    std::string path;                    // trailing slashes dropped
    std::optional<std::u16string> units; // bytes that are not UTF-8 escaped, so never null
    bool directory = false;
    std::string shown; // for messages: bytes that are not UTF-8 become '?'
};

// True when the last component is "." or "..", which names no entry of its
// own (the archive cannot record such a name; a wipe would end inside it).
bool NamesDotEntry(const std::string& path);

// `followLinks`: a link to a folder is a folder (the archive writer follows
// links) or an entry of its own (wipe and delete remove the link only).
// For the writer a "." or ".." operand becomes the folder it stands for.
InputPath ResolveInput(const std::string& operand, bool followLinks);
