#pragma once
// A file system mounted for one test: a tmpfs, or a file system made in a
// sparse image file and loop-mounted. Mounting needs root and, for an
// image, its mkfs tool; without them `Mounted()` is false and `Why()` says
// why, so that the test can skip itself. Unmounted when the owner goes.

#include <string>

class ScratchMount {
public:
    // A tmpfs on the existing folder `at`.
    explicit ScratchMount(const std::string& at);
    // A file system of `type` ("ext4", "xfs", "btrfs") of `megabytes` in
    // `image`, mounted on the existing folder `at`.
    ScratchMount(const std::string& type, const std::string& image, int megabytes, const std::string& at);
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    ~ScratchMount();

    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }
    // Unmounts now, so that everything written reaches the image; true on
    // success (also when nothing is mounted).
    bool Unmount();

private:
    std::string at_;
    bool mounted_ = false;
    std::string why_;
};
