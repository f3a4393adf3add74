#pragma once
// Checks of the paths a command names, made before a passphrase is asked
// for, so that a typo costs no typing.

#include <string>
#include <vector>

// Why a keyfile given as a local path cannot be read; empty when it can, or
// when it is a URL (read only when the key is made).
std::string LocalKeyfileProblem(const std::string& location);

// Why no file can be created at `path`: its folder is missing, no folder,
// or not writable. Empty when one can.
std::string OutputFolderProblem(const std::string& path);

// Why `path` is no folder and cannot be made one (with its missing
// parents); empty when it is one or can be made. Makes nothing.
std::string DestinationProblem(const std::string& path);

// A destination folder, made with its missing parents when needed, and
// removed again (those made, while empty) when the run fails.
class DestinationFolder {
public:
    DestinationFolder() = default;
    DestinationFolder(const DestinationFolder&) = delete;
    DestinationFolder& operator=(const DestinationFolder&) = delete;

    // False with `*reason` set when `path` is no folder and cannot be made
    // one.
    bool Prepare(const std::string& path, std::string* reason);
    bool Created() const { return !created_.empty(); }
    // Removes the folders made, innermost first, as far as they are empty.
    void Withdraw();

private:
    std::vector<std::string> created_; // outermost first
};
