// Directory walks: callback names, links, cycles and the names recorded.

#include "archive_reader.h"
#include "test_support.h"
#include "writer_session.h"

#include "crypto/cipher.h"
#include "platform/utf.h"

#include <gtest/gtest.h>

#include <span>
#include <sys/inotify.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(WriterWalk, CallbacksGetTheCallersPathThenBareNames)
{
    TempDir dir;
    const std::string root = dir / "d";
    MakeDir(root);
    WriteFile(root + "/f", std::string("abc"));
    MakeDir(root + "/s");
    WriteFile(root + "/s/g", std::string());

    std::vector<std::string> expected = {"name:" + root};
    for (const std::string& name : ListingOrder(root)) {
        if (name == "f")
            expected.insert(expected.end(), {"name:f", "range:1", "step"});
        else
            expected.insert(expected.end(), {"name:s", "name:g", "range:0"});
    }
    CallbackLog log;
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherAes256), IQ_OK);
    ASSERT_EQ(session.AddDir(root), IQ_OK);
    EXPECT_EQ(log.events, expected);
}

TEST(WriterWalk, LinksAreFollowedButNeverBackIntoTheChain)
{
    TempDir dir;
    MakeDir(dir / "outside");
    WriteFile(dir / "outside/target.txt", std::string("T"));
    MakeDir(dir / "outside/tdir");
    WriteFile(dir / "outside/tdir/inner.txt", std::string("I"));
    const std::string root = dir / "walk";
    MakeDir(root);
    MakeSymlink("../outside/target.txt", root + "/flink");
    MakeSymlink("../outside/tdir", root + "/dlink");
    MakeSymlink(".", root + "/loop");
    MakeDir(root + "/sub");
    MakeSymlink("..", root + "/sub/back");

    std::string expected = "+walk";
    for (const std::string& name : ListingOrder(root)) {
        if (name == "flink")
            expected += " flink/1";
        else if (name == "dlink")
            expected += " +dlink inner.txt/1 -";
        else if (name == "sub")
            expected += " +sub -";
    }
    expected += " -";

    CallbackLog log;
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherBlowfish), IQ_OK);
    ASSERT_EQ(session.AddDir(root), IQ_OK);
    EXPECT_EQ(Outline(session.Read()), expected);
    EXPECT_EQ(log.Count("skip:"), 2U);
    EXPECT_EQ(log.Count("skip:loop"), 1U);
    EXPECT_EQ(log.Count("skip:back"), 1U);

    log.skipAnswer = 0;
    WriterSession stopped(dir / "stopped.run");
    ASSERT_EQ(stopped.Init(CipherBlowfish), IQ_OK);
    EXPECT_EQ(stopped.AddDir(root), IQ_INPUT_DIR_ERROR);
}

namespace {

// One caller's path added to a fresh archive at `archive`, and the outline
// of what was recorded; nothing is asked about.
struct OutlineCase {
    std::string path;
    bool directory;
    std::string outline;
};

void ExpectOutlines(const std::string& archive, std::uint32_t cipherId, std::span<const OutlineCase> cases)
{
    for (const OutlineCase& c : cases) {
        SCOPED_TRACE(c.path);
        CallbackLog log;
        WriterSession session(archive);
        ASSERT_EQ(session.Init(cipherId), IQ_OK);
        ASSERT_EQ(c.directory ? session.AddDir(c.path) : session.AddFile(c.path), IQ_OK);
        EXPECT_EQ(Outline(session.Read()), c.outline);
        EXPECT_EQ(log.Count("skip:"), 0U);
    }
}

} // namespace

TEST(WriterWalk, CallersPathsAreRecordedByTheirLastComponent)
{
    TempDir dir;
    MakeDir(dir / "d");
    WriteFile(dir / "d/x", std::string("x"));
    WriteFile(dir / "f", std::string("ff"));
    const OutlineCase cases[] = {
        {dir / "d", true, "+d x/1 -"},
        {dir / "d/", true, "+d x/1 -"},
        {dir / "d//", true, "+d x/1 -"},
        {dir / "f", false, "f/2"},
        {dir.Path() + "//f", false, "f/2"},
    };
    ExpectOutlines(dir / "archive.run", CipherRc5, cases);
}

// An archive written into a folder it archives would hold a cut copy of
// itself, and removing the inputs afterwards would destroy it.
TEST(WriterWalk, TheArchiveItselfIsLeftOut)
{
    TempDir dir;
    MakeDir(dir / "d");
    WriteFile(dir / "d/x", std::string("x"));
    const std::string archive = dir / "d/archive.run";
    ASSERT_EQ(::symlink(archive.c_str(), (dir / "link.run").c_str()), 0);
    const OutlineCase cases[] = {
        {dir / "d", true, "+d x/1 -"},
        {archive, false, ""},
        {dir / "link.run", false, ""},
    };
    ExpectOutlines(archive, CipherAes256, cases);
}

TEST(WriterWalk, NamesTheExtractorWouldRefuseAreAskedAbout)
{
    TempDir dir;
    const std::string root = dir / "d";
    MakeDir(root);
    WriteFile(root + "/good", std::string("g"));
    struct Case {
        std::string path;
        std::string skipEvent;
        std::string outline;
        CoreResult stopResult;
    };
    const Case cases[] = {
        {root + "/.", "skip:" + root + "/.", "", IQ_INPUT_DIR_ERROR},
        {root + "/..", "skip:" + root + "/..", "", IQ_INPUT_DIR_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CallbackLog log;
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherAes256), IQ_OK);
        ASSERT_EQ(session.AddDir(c.path), IQ_OK);
        EXPECT_EQ(Outline(session.Read()), c.outline);
        EXPECT_EQ(log.Count(c.skipEvent), 1U);

        log.skipAnswer = 0;
        WriterSession stopped(dir / "stopped.run");
        ASSERT_EQ(stopped.Init(CipherAes256), IQ_OK);
        EXPECT_EQ(stopped.AddDir(c.path), c.stopResult);
    }
}

TEST(WriterWalk, FilesystemRootIsRecordedAsRoot)
{
    // Walking all of / is no test: stop at its first entry, after its
    // DirEnterRecord has been written.
    struct Abort {};
    CallbackLog log;
    log.onEvent = [](const std::string& event) {
        if (event.rfind("name:", 0) == 0 && event != "name:/")
            throw Abort{};
    };
    TempDir dir;
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherRc4), IQ_OK);
    EXPECT_EQ(session.AddDir("/"), IQ_ABORTED);
    EXPECT_EQ(Outline(session.Read()), "+root");
}

// Opening some devices has effects of its own and a FIFO waits for a writer:
// an entry that is no regular file goes to the skip question unopened.
TEST(WriterWalk, EntriesThatAreNoRegularFileAreAskedAboutUnopened)
{
    TempDir dir;
    MakeDir(dir / "d");
    WriteFile(dir / "d/plain", std::string("p"));
    ASSERT_EQ(::mkfifo((dir / "d/fifo").c_str(), 0644), 0);
    std::vector<std::string> special = {"fifo"};
    // A null device of our own; making one needs root.
    if (::mknod((dir / "d/device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        special.push_back("device");

    for (const bool walked : {true, false}) {
        for (const std::string& name : special) {
            SCOPED_TRACE(testing::Message() << name << (walked ? " in a folder" : " given directly"));
            const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            ASSERT_GE(watch, 0);
            ASSERT_GE(::inotify_add_watch(watch, (dir / "d/" + name).c_str(), IN_OPEN), 0);
            CallbackLog log;
            WriterSession session(dir / "archive.run");
            ASSERT_EQ(session.Init(CipherAes256), IQ_OK);

            EXPECT_EQ(walked ? session.AddDir(dir / "d") : session.AddFile(dir / "d/" + name), IQ_OK);

            EXPECT_EQ(log.Count("skip:" + (walked ? name : dir / "d/" + name)), 1U);
            char events[4096];
            EXPECT_LT(::read(watch, events, sizeof events), 0) << "the entry was opened";
            ::close(watch);
            if (walked) {
                EXPECT_EQ(Outline(session.Read()), "+d plain/1 -");
            }
        }
    }
}

// Linux names are bytes: what is not UTF-8 is recorded as escaped bytes,
// which the extractor on Linux writes back; nothing is asked about.
TEST(WriterWalk, NamesThatAreNotUtf8AreRecordedEscaped)
{
    TempDir dir;
    const std::string root = dir / "d";
    MakeDir(root);
    MakeDir(root + "/sub\xE9");
    const std::string names[] = {"caf\xE9.txt", "\xCF\xF0\xE8\xE2\xE5\xF2", "a\x80z", "\xFF\xFE",
                                 "sub\xE9/\xE0 la carte"};
    for (const std::string& name : names)
        WriteFile(root + "/" + name, name);
    CallbackLog log;
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherAes256), IQ_OK);

    ASSERT_EQ(session.AddDir(root), IQ_OK);

    EXPECT_EQ(log.Count("skip:"), 0U);
    const ParsedArchive archive = session.Read();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string last = name.substr(name.rfind('/') + 1);
        const ArchiveRecord& record = archive.Find(NameToUtf16(last));
        EXPECT_EQ(std::string(record.data.begin(), record.data.end()), name);
    }
    EXPECT_NO_THROW(archive.Find(u"sub\xDCE9"));
}
