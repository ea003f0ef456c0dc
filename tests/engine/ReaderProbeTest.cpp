// The real helper's sandbox, tried from inside it: a probe acting once the sandbox is in place
// (TESSAREL_READER_PROBE) makes every attempt a parser taken over by a document would make,
// against a home folder and a process the test prepares. None gets through, the victims are
// intact, and the helper still reads its document. The sanitizer builds install no sandbox.

#include "ChildWithRefusals.h"
#include "Harness.h"
#include "engine/ReaderHelper.h"
#include "extract/ReadDocument.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/syscall.h>

namespace tessarel::test {
namespace {

#if !defined(__SANITIZE_ADDRESS__)

const fs::path kDocument = fs::path(TESSAREL_TEST_DATA) / "corpus" / "pdf" / "features.pdf";

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A home folder with a file to spoil, a start-up file to append to and a key to steal, and a
// process to signal or limit; the searched folder and the contents folder are elsewhere.
struct Victims {
    Victims() {
        home.write("victim.txt", "the victim's words");
        home.write(".bashrc", "export PATH\n");
        home.write(".ssh/id_ed25519", "the secret key");
        process = ::fork();
        if (process == 0)
            for (;;)
                ::pause();
        ::prlimit(process, RLIMIT_NOFILE, nullptr, &limit);
    }
    ~Victims() {
        ::kill(process, SIGKILL);
        ::waitpid(process, nullptr, 0);
    }
    // What is wrong with the victims, empty when they are intact.
    std::string harm() const {
        std::string harm;
        if (Contents(home.path() / "victim.txt") != "the victim's words")
            harm += "victim.txt changed; ";
        if (Contents(home.path() / ".bashrc") != "export PATH\n")
            harm += ".bashrc changed; ";
        if (fs::exists(home.path() / "created"))
            harm += "a file was created; ";
        if (::waitpid(process, nullptr, WNOHANG) != 0)
            harm += "the victim process ended; ";
        rlimit now{};
        ::prlimit(process, RLIMIT_NOFILE, nullptr, &now);
        if (now.rlim_cur != limit.rlim_cur || now.rlim_max != limit.rlim_max)
            harm += "the victim process's limit changed; ";
        return harm;
    }

    TempDir home;
    pid_t process = -1;
    rlimit limit{};
};

// Reads the document in the real helper with the probe on; the reply's log lines and text.
ReaderHelper::Outcome ReadWithProbe(const Victims& victims, ReadReply& reply, ReaderRun* run) {
    ScopedEnv probe("TESSAREL_READER_PROBE", victims.home.path().string());
    ScopedEnv victim("TESSAREL_READER_PROBE_PID", std::to_string(victims.process));
    ScopedEnv home("HOME", victims.home.path().string());
    TempDir contents;
    ReaderHelper helper(ReaderHelper::locate(), contents.path().string() + "/", ReaderLimits{}, run);
    FileRecord record;
    record.nativePath = kDocument.string();
    record.path = FromUtf8(record.nativePath);
    record.extension = u"pdf";
    record.size = static_cast<std::int64_t>(fs::file_size(kDocument));
    std::string why;
    return helper.read(record, reply, -1, why);
}

std::u16string InProcessText() {
    FileRecord record;
    record.nativePath = kDocument.string();
    record.path = FromUtf8(record.nativePath);
    record.extension = u"pdf";
    record.size = static_cast<std::int64_t>(fs::file_size(kDocument));
    ReadDocumentText(record, ReadContext{});
    return std::u16string(record.text);
}

std::vector<std::string> Lines(const ReadReply& reply, std::string_view prefix) {
    std::vector<std::string> lines;
    for (const std::u16string& line : reply.logLines)
        if (Utf8(line).starts_with(prefix))
            lines.push_back(Utf8(line));
    return lines;
}

TEST(ReaderProbe, NothingGetsThroughTheSandboxAndTheDocumentIsStillRead) {
    ASSERT_FALSE(ReaderHelper::locate().empty());
    Victims victims;
    ReaderRun run;
    ReadReply reply;
    ASSERT_EQ(ReadWithProbe(victims, reply, &run), ReaderHelper::Outcome::Read);
    EXPECT_EQ(Lines(reply, "got through"), std::vector<std::string>{});
    EXPECT_EQ(Lines(reply, "held").size(), 26u);
    // The probe could do what reading needs: it did not hold for want of its own rights.
    EXPECT_EQ(Lines(reply, "allowed"), std::vector<std::string>{"allowed: write the temporary file"});
    EXPECT_EQ(victims.harm(), "");
    ASSERT_FALSE(reply.text.empty());
    EXPECT_TRUE(std::u16string(reply.text) == InProcessText());
}

TEST(ReaderProbe, WithoutLandlockTheProgramIsOutOfTheHelpersReach) {
    ASSERT_FALSE(ReaderHelper::locate().empty());
    // A kernel without Landlock, for this child and the helpers it starts.
    const std::string failure = InChildWithRefusals({{SCMP_SYS(landlock_create_ruleset), ENOSYS}}, [] {
        std::string failure;
        Victims victims;
        const int dumpable = ::prctl(PR_GET_DUMPABLE);
        {
            ReaderRun run;
            if (run.landlock())
                return std::string("Landlock was found");
            if (::prctl(PR_GET_DUMPABLE) != 0)
                failure += "the program stayed dumpable while helpers run; ";
            ReadReply reply;
            if (ReadWithProbe(victims, reply, &run) != ReaderHelper::Outcome::Read)
                failure += "the document was not read; ";
            // The filter and the program's non-dumpable state hold these; files are the price of
            // a kernel without Landlock. (As root the owner's right still lists the numbers of the
            // program's descriptors; reopening them is held.)
            for (const std::string& line : Lines(reply, "got through"))
                if ((line.find("parent") != std::string::npos || line.find("process") != std::string::npos ||
                     line.find("socket") != std::string::npos || line.find("signals") != std::string::npos) &&
                    (::getuid() != 0 || line != "got through: list the parent's descriptors"))
                    failure += line + "; ";
            if (victims.harm().find("process") != std::string::npos)
                failure += victims.harm();
        }
        if (::prctl(PR_GET_DUMPABLE) != dumpable)
            failure += "the program's dumpable state was not given back; ";
        // The reading run says once that its helpers have the filter alone.
        TempDir docs;
        fs::copy_file(kDocument, docs.path() / "a.pdf");
        fs::copy_file(kDocument, docs.path() / "b.pdf");
        Engine e;
        e.read(docs.path());
        const std::vector<std::string> log = LogLines(e);
        if (std::count(
                log.begin(), log.end(),
                "The kernel has no Landlock: the reader helpers run under their system-call filter alone.") !=
            1)
            failure += "the log does not say it once; ";
        return failure;
    });
    EXPECT_EQ(failure, "");
}

TEST(ReaderProbe, AHelperWhoseFilterIsRefusedReadsNothingAndSaysWhy) {
    ASSERT_FALSE(ReaderHelper::locate().empty());
    // As under a wrapper that refuses seccomp(): the helper must not read unguarded.
    const std::string failure =
        InChildWithRefusals({{SCMP_SYS(seccomp), EPERM}, {SCMP_SYS(prctl), EPERM, 0, PR_SET_SECCOMP}}, [] {
            std::string failure;
            TempDir docs;
            fs::copy_file(kDocument, docs.path() / "a.pdf");
            docs.write("b.txt", "plain words");
            Engine e;
            CCatalog& c = e.read(docs.path());
            for (int i = 0; i < c.count(); ++i) {
                const bool pdf = c.record(i).extension == u"pdf";
                if (pdf != c.record(i).text.empty())
                    failure += Utf8(c.record(i).path) + (pdf ? " was read; " : " was not read; ");
            }
            const std::vector<std::string> log = LogLines(e);
            const auto said = std::find_if(log.begin(), log.end(), [](const std::string& line) {
                return line.starts_with(
                           "The reader's sandbox could not be put in place (the system-call filter") &&
                       line.ends_with("the document was not read.");
            });
            if (said == log.end())
                failure += "the log does not say why; ";
            return failure;
        });
    EXPECT_EQ(failure, "");
}

#endif

} // namespace
} // namespace tessarel::test
