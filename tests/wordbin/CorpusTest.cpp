// Every Word binary document of the corpus against its probe lists: a "found" probe must occur in
// the converted text, an "absent" one must not.
#include "tests/wordbin/ConvertHelpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace tessarel::wordbin::testing {
namespace {

const std::string kCorpus = std::string(TESSAREL_TEST_DATA) + "/corpus/";

struct Probe {
    std::string path;
    std::string text;
    bool found;
};

// RTF files under a .doc name are taken by the glue's RTF test before they reach the reader.
std::vector<Probe> DocProbes(const std::string& list) {
    std::vector<Probe> probes;
    std::ifstream in(kCorpus + list);
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Probe probe;
        std::string expect;
        std::getline(fields, probe.path, '\t');
        std::getline(fields, probe.text, '\t');
        std::getline(fields, expect, '\t');
        const bool doc = probe.path.size() > 4 && probe.path.compare(probe.path.size() - 4, 4, ".doc") == 0;
        if (!doc || probe.path.rfind("rtf/", 0) == 0)
            continue;
        probe.found = expect == "found";
        probes.push_back(probe);
    }
    return probes;
}

void CheckProbes(const std::string& list) {
    const std::vector<Probe> probes = DocProbes(list);
    ASSERT_GT(probes.size(), 50u);
    std::map<std::string, std::string> texts;
    int passed = 0;
    for (const Probe& probe : probes) {
        auto [it, fresh] = texts.try_emplace(probe.path);
        if (fresh)
            it->second = ConvertFile(kCorpus + probe.path);
        const bool present = it->second.find(probe.text) != std::string::npos;
        EXPECT_EQ(present, probe.found) << probe.path << ": " << probe.text;
        passed += present == probe.found;
    }
    std::printf("%s: %d of %zu probes pass\n", list.c_str(), passed, probes.size());
}

TEST(CorpusTest, BasicProbes) {
    CheckProbes("probes-basic.tsv");
}
TEST(CorpusTest, SoundProbes) {
    CheckProbes("probes-sound.tsv");
}

TEST(CorpusTest, DamagedFilesGiveNoText) {
    for (const char* path : {"broken/truncated-half.doc", "broken/random-bytes.doc", "broken/zero-bytes.doc",
                             "broken/upper-case-RTF-signature.doc"})
        EXPECT_EQ(ConvertFile(kCorpus + path), "") << path;
}

// Every word of the office suite's own export appears in order, apart from what the reader
// leaves out on purpose (headers and footers, text hidden by its paragraph style).
TEST(CorpusTest, ExpectedWordsAppearInOrder) {
    for (const char* path :
         {"doc97/simple.doc", "doc97/cyrillic.doc", "doc97/multipage.doc", "doc95/long95.doc"}) {
        const std::string text = ConvertFile(kCorpus + path);
        std::istringstream expected(ReadWhole(kCorpus + path + std::string(".expected.txt")));
        std::string word;
        std::size_t at = 0;
        int missing = 0;
        int words = 0;
        while (expected >> word) {
            // Heading numbers ("1.") come from list definitions the reader does not number.
            if (word.find_first_not_of("0123456789.") == std::string::npos)
                continue;
            ++words;
            const std::size_t found = text.find(word, at);
            if (found == std::string::npos)
                ++missing;
            else
                at = found + word.size();
        }
        // The footer's page number field is the only text these files keep outside the body.
        EXPECT_LE(missing, 3) << path << ": " << missing << " of " << words << " words missing";
    }
}

TEST(CorpusTest, EachConversionStartsAfresh) {
    const std::string first = ConvertFile(kCorpus + "doc97/features.doc");
    EXPECT_EQ(ConvertFile(kCorpus + "broken/truncated-half.doc"), "");
    EXPECT_EQ(ConvertFile(kCorpus + "doc97/features.doc"), first);
}

TEST(CorpusTest, NeverWritesThroughALinkAtItsTarget) {
    const std::string victim = TempPath("victim.txt");
    const std::string link = TempPath("link.txt");
    std::ofstream(victim) << "the victim's words";
    std::remove(link.c_str());
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    Convert(kCorpus + "doc97/features.doc", link);
    EXPECT_EQ(ReadWhole(victim), "the victim's words");
    std::remove(link.c_str());
    std::remove(victim.c_str());
}

} // namespace
} // namespace tessarel::wordbin::testing
