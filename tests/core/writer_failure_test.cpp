// Entries that cannot be read, failures, aborts, and what IQ_SDAFinal
// releases after each of them.

#include "archive_reader.h"
#include "test_support.h"
#include "writer_session.h"

#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t EmptyPayloadLength = 2 + CipherHeaderSize;

// The events from the entry's name to its skip question.
std::vector<std::string> EventsOfEntry(const CallbackLog& log, const std::string& name)
{
    const auto first = std::find(log.events.begin(), log.events.end(), "name:" + name);
    const auto last = std::find(first, log.events.end(), "skip:" + name);
    return std::vector<std::string>(first, last == log.events.end() ? last : last + 1);
}

bool HasRange(const std::vector<std::string>& events)
{
    return std::any_of(events.begin(), events.end(),
                       [](const std::string& event) { return event.rfind("range:", 0) == 0; });
}

struct Abort {};

} // namespace

TEST(WriterSkip, UnreadableEntriesFollowTheSkipAnswer)
{
    // Only means that hold for root too, or that run unprivileged: root
    // ignores permission bits.
    enum class Where { TopFile, TopDir, Nested };
    struct Case {
        const char* what;
        Where where;
        const char* entry;
        void (*make)(const std::string& path);
        bool rangeBeforeSkip;
        CoreResult stopResult;
    };
    const auto nothing = [](const std::string&) {};
    const auto fifo = [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); };
    const auto noPermissions = [](const std::string& path) {
        WriteFile(path, std::string("secret"));
        ::chmod(path.c_str(), 0);
    };
    const auto closedDir = [](const std::string& path) {
        MakeDir(path);
        WriteFile(path + "/inside", std::string("x"));
        ::chmod(path.c_str(), 0);
    };
    const auto dangling = [](const std::string& path) { MakeSymlink("no-such-target", path); };
    const auto plainFile = [](const std::string& path) { WriteFile(path, std::string("p")); };
    const Case cases[] = {
        {"missing file", Where::TopFile, "missing", nothing, false, IQ_INPUT_FILE_ERROR},
        {"FIFO", Where::TopFile, "fifo", fifo, true, IQ_INPUT_FILE_ERROR},
        {"file without permissions", Where::TopFile, "locked", noPermissions, true, IQ_INPUT_FILE_ERROR},
        {"directory through a file", Where::TopDir, "plain/", plainFile, false, IQ_INPUT_DIR_ERROR},
        {"directory without permissions", Where::TopDir, "closed", closedDir, false, IQ_INPUT_DIR_ERROR},
        {"dangling link", Where::Nested, "dangling", dangling, false, IQ_INPUT_FILE_ERROR},
        {"nested FIFO", Where::Nested, "fifo", fifo, true, IQ_INPUT_FILE_ERROR},
        {"nested file without permissions", Where::Nested, "locked", noPermissions, true, IQ_INPUT_FILE_ERROR},
        {"nested directory without permissions", Where::Nested, "closed", closedDir, false, IQ_INPUT_DIR_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunUnprivileged([&] {
            TempDir dir;
            const std::string root = dir / "d";
            MakeDir(root);
            WriteFile(root + "/good", std::string("good"));
            const std::string base = c.where == Where::Nested ? root : dir.Path();
            std::string entry = c.entry;
            c.make(base + "/" + std::string(entry.substr(0, entry.find('/'))));
            const std::string added = c.where == Where::Nested ? root : base + "/" + entry;
            const std::string shown = c.where == Where::Nested ? entry : added;
            const auto add = [&](WriterSession& session) {
                return c.where == Where::TopFile ? session.AddFile(added) : session.AddDir(added);
            };

            for (const std::int32_t answer : {1, 0}) {
                SCOPED_TRACE(answer != 0 ? "skip" : "stop");
                CallbackLog log;
                log.skipAnswer = answer;
                WriterSession session(dir / "archive.run");
                ASSERT_EQ(session.Init(CipherAes256), IQ_OK);
                const CoreResult result = add(session);
                const std::vector<std::string> events = EventsOfEntry(log, shown);
                ASSERT_FALSE(events.empty());
                EXPECT_EQ(events.back(), "skip:" + shown);
                EXPECT_EQ(HasRange(events), c.rangeBeforeSkip);
                if (answer == 0) {
                    EXPECT_EQ(result, c.stopResult);
                } else if (c.where == Where::Nested) {
                    EXPECT_EQ(result, IQ_OK);
                    EXPECT_EQ(Outline(session.Read()), "+d good/4 -");
                } else {
                    EXPECT_EQ(result, IQ_OK);
                    EXPECT_EQ(session.Payload().size(), EmptyPayloadLength);
                }
            }
        });
    }
}

TEST(WriterInit, RefusesBadArgumentsBeforeWritingAnything)
{
    TempDir dir;
    const std::u16string longestHelp(MaxHelpUnits + 1, u'h');
    struct Case {
        const char* what;
        std::string archive;
        std::uint32_t cipherId;
        const char16_t* help;
        std::string keyfile;
        CoreResult expected;
    };
    const Case cases[] = {
        {"unknown cipher", dir / "a.run", 6, nullptr, "", IQ_ARCHIVE_ERROR},
        {"help longer than the module shows", dir / "a.run", 0, longestHelp.c_str(), "", IQ_ARCHIVE_ERROR},
        {"archive that does not exist", dir / "none/a.run", 0, nullptr, "", IQ_ARCHIVE_ERROR},
        {"archive on a full device", "/dev/full", 0, nullptr, "", IQ_ARCHIVE_ERROR},
        {"keyfile that does not exist", dir / "a.run", 0, nullptr, dir / "no-key", IQ_KEYFILE_ERROR},
        {"keyfile of a scheme nobody reads", dir / "a.run", 0, nullptr, "gopher://127.0.0.1/k", IQ_KEYFILE_ERROR},
    };
    const std::size_t descriptors = OpenDescriptorCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(dir / "a.run", std::string(ModuleStubLength, 'M'));
        const Callbacks callbacks = RecordingCallbacks();
        const std::u16string archive = U16(c.archive);
        const std::u16string keyfile = U16(c.keyfile);
        SdaContext* context = nullptr;
        EXPECT_EQ(IQ_SDAInit(&context, archive.c_str(), u"pass", c.keyfile.empty() ? nullptr : keyfile.c_str(),
                             c.cipherId, c.help, callbacks.name, callbacks.range, callbacks.step, callbacks.skip),
                  c.expected);
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(IQ_SDAAddFile(context, archive.c_str(), 6), IQ_ARCHIVE_ERROR) << "the context is spent";
        IQ_SDAFinal(context);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
        // Refusals before the key leave the module copy as it was; a keyfile
        // failure comes after the help block, which the caller deletes.
        if (c.expected == IQ_ARCHIVE_ERROR) {
            EXPECT_EQ(ReadFile(dir / "a.run").size(), ModuleStubLength);
        }
    }
    IQ_SDAFinal(nullptr);
}

TEST(WriterInit, HelpTextUpToTheModulesLimitIsStoredPlain)
{
    TempDir dir;
    const std::u16string help(MaxHelpUnits, u'\u00e9');
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherRc4, u"pass", help.c_str()), IQ_OK);
    const std::vector<std::uint8_t> payload = session.Payload();
    ASSERT_EQ(payload.size(), 2 + 2 * MaxHelpUnits + CipherHeaderSize);
    EXPECT_EQ(LoadLe16(payload.data()), MaxHelpUnits);
    EXPECT_EQ(payload[2], 0xE9);
    EXPECT_EQ(payload[3], 0x00);
    EXPECT_EQ(session.Read().help, help);
}

TEST(WriterFailure, EachFailureSpendsTheContextAndFinalReleasesEverything)
{
    struct Case {
        const char* what;
        CoreResult expected;
        CoreResult (*provoke)(WriterSession& session, const TempDir& dir);
    };
    const Case cases[] = {
        {"stop at a missing file", IQ_INPUT_FILE_ERROR,
         [](WriterSession& session, const TempDir& dir) {
             CallbackLog log;
             log.skipAnswer = 0;
             return session.AddFile(dir / "missing");
         }},
        {"stop deep in a walk", IQ_INPUT_DIR_ERROR,
         [](WriterSession& session, const TempDir& dir) {
             MakeDir(dir / "t");
             MakeDir(dir / "t/u");
             MakeSymlink("..", dir / "t/u/cycle");
             CallbackLog log;
             log.skipAnswer = 0;
             return session.AddDir(dir / "t");
         }},
        {"level below 0", IQ_COMPRESSION_ERROR,
         [](WriterSession& session, const TempDir& dir) {
             WriteFile(dir / "f", std::string("f"));
             return session.AddFile(dir / "f", -1);
         }},
        {"level above 9", IQ_COMPRESSION_ERROR,
         [](WriterSession& session, const TempDir& dir) {
             MakeDir(dir / "t");
             return session.AddDir(dir / "t", 10);
         }},
        {"archive write failing in mid-file", IQ_ARCHIVE_ERROR,
         [](WriterSession& session, const TempDir& dir) {
             WriteFile(dir / "big", SampleBytes(3 * BlockSize, 2));
             // Beyond the limit, writes fail with EFBIG instead of a signal.
             const auto previous = std::signal(SIGXFSZ, SIG_IGN);
             rlimit saved{};
             ::getrlimit(RLIMIT_FSIZE, &saved);
             rlimit limit = saved;
             limit.rlim_cur = BlockSize;
             ::setrlimit(RLIMIT_FSIZE, &limit);
             const CoreResult result = session.AddFile(dir / "big", 0);
             ::setrlimit(RLIMIT_FSIZE, &saved);
             std::signal(SIGXFSZ, previous);
             return result;
         }},
        {"archive write failing in mid-walk", IQ_ARCHIVE_ERROR,
         [](WriterSession& session, const TempDir& dir) {
             MakeDir(dir / "t");
             for (int i = 0; i < 4; ++i)
                 WriteFile(dir / ("t/big" + std::to_string(i)), SampleBytes(BlockSize + 10, i));
             const auto previous = std::signal(SIGXFSZ, SIG_IGN);
             rlimit saved{};
             ::getrlimit(RLIMIT_FSIZE, &saved);
             rlimit limit = saved;
             limit.rlim_cur = 2 * BlockSize;
             ::setrlimit(RLIMIT_FSIZE, &limit);
             const CoreResult result = session.AddDir(dir / "t", 0);
             ::setrlimit(RLIMIT_FSIZE, &saved);
             std::signal(SIGXFSZ, previous);
             return result;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::size_t descriptors = OpenDescriptorCount();
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherCast256), IQ_OK);
        const std::size_t threads = ThreadCount();
        EXPECT_EQ(c.provoke(session, dir), c.expected);
        EXPECT_TRUE(ThreadCountSettlesAt(threads)) << "a helper thread outlived the call";

        const std::size_t written = ReadFile(session.ArchivePath()).size();
        WriteFile(dir / "later", std::string("later"));
        EXPECT_EQ(session.AddFile(dir / "later"), IQ_ARCHIVE_ERROR);
        EXPECT_EQ(ReadFile(session.ArchivePath()).size(), written);
        session.Final();
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
    }
}

TEST(WriterAbort, ThrowingCallbacksEndTheCallAndFinalReleasesTheRest)
{
    struct Case {
        const char* what;
        std::string throwAt;
        bool outOfMemory;
        bool directory;
        CoreResult expected;
    };
    const Case cases[] = {
        {"StepCallback in mid-file", "step", false, false, IQ_ABORTED},
        {"StepCallback in mid-walk", "step", false, true, IQ_ABORTED},
        {"NameCallback in mid-walk", "name:c.txt", false, true, IQ_ABORTED},
        {"SkipCallback", "skip:missing", false, true, IQ_ABORTED},
        {"bad_alloc from RangeCallback", "range:3", true, false, IQ_OUT_OF_MEMORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFile(dir / "big", SampleBytes(3 * BlockSize - 1, 4));
        MakeDir(dir / "a");
        MakeDir(dir / "a/b");
        WriteFile(dir / "a/b/c.txt", std::string("c"));
        MakeSymlink("nowhere", dir / "a/b/missing");
        const std::size_t descriptors = OpenDescriptorCount();

        CallbackLog log;
        log.onEvent = [&](const std::string& event) {
            if (event != c.throwAt)
                return;
            if (c.outOfMemory)
                throw std::bad_alloc();
            throw Abort{};
        };
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherRc5), IQ_OK);
        const std::size_t threads = ThreadCount();
        EXPECT_EQ(c.directory ? session.AddDir(dir / "a") : session.AddFile(dir / "big", 1), c.expected);
        EXPECT_TRUE(ThreadCountSettlesAt(threads)) << "a helper thread outlived the call";
        EXPECT_EQ(log.events.back(), c.throwAt);
        EXPECT_EQ(session.AddFile(dir / "big"), IQ_ARCHIVE_ERROR);
        session.Final();
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
    }
}

TEST(WriterAbort, SparseFileBeyond4GiBCountsItsBlocksOverTheFullSize)
{
    TempDir dir;
    const std::string path = dir / "sparse";
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, (off_t{1} << 32) + 1), 0);
        ::close(fd);
    }
    CallbackLog log;
    log.onEvent = [](const std::string& event) {
        if (event.rfind("range:", 0) == 0)
            throw Abort{};
    };
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherAes256), IQ_OK);
    EXPECT_EQ(session.AddFile(path), IQ_ABORTED);
    EXPECT_EQ(log.events.back(), "range:4097");
}
