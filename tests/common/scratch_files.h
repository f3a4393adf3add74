#pragma once
// Scratch folders and whole-file helpers that every test suite shares.

#include <cstdint>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, open to an
// unprivileged child as well, removed with all its contents (whatever their
// permissions) when the owner goes.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// These throw std::runtime_error when the file cannot be written or read.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteFile(const std::string& path, const std::string& text);
std::vector<std::uint8_t> ReadFile(const std::string& path);

// UTF-8 test names to the library's UTF-16; throws on invalid UTF-8.
std::u16string U16(const std::string& utf8);
