#include "scratch_mount.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// The tool's output goes nowhere; only its status counts.
bool Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool ToolExists(const std::string& tool)
{
    for (const char* folder : {"/usr/sbin/", "/sbin/", "/usr/bin/"})
        if (::access((folder + tool).c_str(), X_OK) == 0)
            return true;
    return false;
}

} // namespace

ScratchMount::ScratchMount(const std::string& at) : at_(at)
{
    if (::geteuid() != 0) {
        why_ = "mounting needs root";
        return;
    }
    mounted_ = ::mount("none", at.c_str(), "tmpfs", 0, "size=16m") == 0;
    if (!mounted_)
        why_ = "cannot mount a tmpfs here";
}

ScratchMount::ScratchMount(const std::string& type, const std::string& image, int megabytes, const std::string& at)
    : at_(at)
{
    if (::geteuid() != 0) {
        why_ = "mounting needs root";
        return;
    }
    const std::string mkfs = "mkfs." + type;
    if (!ToolExists(mkfs)) {
        why_ = mkfs + " is not installed";
        return;
    }
    const std::string force = type == "ext4" ? " -F" : " -f";
    if (!Run("truncate -s " + std::to_string(megabytes) + "M '" + image + "'") ||
        !Run(mkfs + force + " '" + image + "'")) {
        why_ = "cannot make the " + type + " image";
        return;
    }
    mounted_ = Run("mount -o loop '" + image + "' '" + at + "'");
    if (!mounted_)
        why_ = "cannot loop-mount the " + type + " image";
}

ScratchMount::~ScratchMount()
{
    Unmount();
}

bool ScratchMount::Unmount()
{
    if (!mounted_)
        return true;
    mounted_ = ::umount(at_.c_str()) != 0;
    return !mounted_;
}
