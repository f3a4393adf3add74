// Writes the hostile archives of the browser tests into a folder, each
// behind a Linux module's worth of zeros, and manifest.json: what the
// native engine returns for each and which entries it leaves, so that the
// page is held to the native engine on the very same bytes.
//
//   hostile_archives OUT_DIR PAYLOAD_OFFSET

#include "core/archive_format.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

PayloadBuilder::FileFields Fields(const std::u16string& name, std::uint64_t size = 0, std::uint64_t blocks = 0)
{
    PayloadBuilder::FileFields fields;
    fields.name = name;
    fields.size = size;
    fields.blockCount = blocks;
    return fields;
}

struct Hostile {
    const char* file;
    const char* label;
    std::function<void(PayloadBuilder&)> build;
    std::size_t cutBytes = 0; // taken off the end
    // Set where the page is stricter than a Linux destination: a zip may be
    // unpacked on Windows, so names such a system cannot hold are refused.
    int pageCode = -1;
};

const Hostile Cases[] = {
    {"dotdot", "file named ..", [](PayloadBuilder& b) { b.FileRecord(Fields(u"..")); }},
    {"slash", "file name with a slash", [](PayloadBuilder& b) { b.FileRecord(Fields(u"../escape")); }},
    {"empty-name", "empty file name", [](PayloadBuilder& b) { b.FileRecord(Fields(u"")); }},
    {"nul", "file name with a NUL", [](PayloadBuilder& b) { b.FileRecord(Fields(std::u16string(u"x\0y", 3))); }},
    {"dir-up", "directory name with a slash", [](PayloadBuilder& b) { b.EnterDir(u"../../up").File(u"f", Bytes("x")); }},
    {"leave-top", "leave record at the top",
     [](PayloadBuilder& b) { b.File(u"first", Bytes("1")).LeaveDir().File(u"up", Bytes("2")); }},
    {"type-255", "record type 255", [](PayloadBuilder& b) { b.File(u"first", Bytes("1")).TypeByte(255); }},
    {"name-261", "name length 261", [](PayloadBuilder& b) { b.FileRecord(Fields(std::u16string(MaxNameUnits + 1, u'n'))); }},
    {"packed-bound", "packed length above the bound",
     [](PayloadBuilder& b) { b.FileRecord(Fields(u"big", 10, 1)).Block(0, MaxPackedBlock + 1, std::vector<std::uint8_t>(64, 0)); }},
    {"record-crc", "file record CRC",
     [](PayloadBuilder& b) {
         auto fields = Fields(u"f");
         fields.badCrc = true;
         b.FileRecord(fields);
     }},
    {"block-crc", "block CRC",
     [](PayloadBuilder& b) {
         const auto data = Bytes("contents");
         b.File(u"good", Bytes("kept")).FileRecord(Fields(u"f", data.size(), 1)).Block(Crc32Of(data) + 1, Deflate(data, 6));
     }},
    {"stream-cut", "stream cut short",
     [](PayloadBuilder& b) {
         const auto data = TextBytes(4000, 5);
         auto packed = Deflate(data, 6);
         packed.resize(packed.size() / 2);
         b.FileRecord(Fields(u"f", data.size(), 1)).Block(Crc32Of(data), packed);
     }},
    {"cut-in-block", "archive cut inside a block",
     [](PayloadBuilder& b) { b.EnterDir(u"d").File(u"first", Bytes("1")).File(u"second", NoiseBytes(70000, 3)); }, 100},
    {"colon", "file name with a colon", [](PayloadBuilder& b) { b.File(u"a:b", Bytes("x")); }, 0, 8},
    {"backslash", "file name with a backslash", [](PayloadBuilder& b) { b.File(u"..\\up", Bytes("x")); }, 0, 8},
    {"duplicate", "the same file twice",
     [](PayloadBuilder& b) { b.File(u"twice", Bytes("one")).File(u"twice", Bytes("two")); }},
};

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: hostile_archives OUT_DIR PAYLOAD_OFFSET\n");
        return 64;
    }
    const std::string folder = argv[1];
    const std::size_t offset = std::stoul(argv[2]);
    std::ofstream manifest(folder + "/manifest.json");
    manifest << "[\n";
    bool first = true;
    for (const Hostile& hostile : Cases) {
        PayloadBuilder builder(CipherRc4, u"p");
        hostile.build(builder);
        std::vector<std::uint8_t> payload = builder.Bytes();
        payload.resize(payload.size() - hostile.cutBytes);

        TempDir scratch;
        RecordingObserver observer;
        int code = static_cast<int>(ExtractPayload(payload, u"p", scratch.Path(), observer));
        if (hostile.pageCode >= 0)
            code = hostile.pageCode;
        std::string entries;
        for (const std::string& entry : ListTree(scratch.Path()))
            entries += (entries.empty() ? "" : ", ") + Quoted(entry);

        const std::string name = std::string(hostile.file) + ".run";
        std::ofstream archive(folder + "/" + name, std::ios::binary);
        const std::vector<char> module(offset, 0);
        archive.write(module.data(), static_cast<std::streamsize>(module.size()));
        archive.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
        if (!archive)
            return 1;
        manifest << (first ? "" : ",\n") << "  {\"file\": " << Quoted(name) << ", \"label\": " << Quoted(hostile.label)
                 << ", \"code\": " << code << ", \"entries\": [" << entries << "]}";
        first = false;
    }
    manifest << "\n]\n";
    return manifest ? 0 : 1;
}
