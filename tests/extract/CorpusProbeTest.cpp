// Every corpus document of the formats read here answers its probes: a "found" probe occurs in
// the text as stored, an "absent" one does not. Damaged files give no other document's words.
#include "tests/extract/ReaderTestSupport.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace tessarel::test {
namespace {

struct Probe {
    std::string path;
    std::string word;
    bool found = false;
};

bool IsReadHere(const std::string& path) {
    for (const char* folder : {"pdf/", "docx/", "xlsx/", "pptx/", "odt/", "rtf/", "broken/"})
        if (path.rfind(folder, 0) == 0)
            return true;
    return false;
}

std::vector<Probe> SoundProbes() {
    std::ifstream in(CorpusPath("probes-sound.tsv"));
    std::vector<Probe> probes;
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Probe probe;
        std::string expect;
        if (!std::getline(fields, probe.path, '\t') || !std::getline(fields, probe.word, '\t') ||
            !std::getline(fields, expect))
            continue;
        probe.found = expect == "found";
        if (IsReadHere(probe.path))
            probes.push_back(probe);
    }
    return probes;
}

TEST(CorpusProbes, EveryDocumentAnswersItsProbes) {
    const std::vector<Probe> probes = SoundProbes();
    ASSERT_GT(probes.size(), 250u);
    ContentsFolder contents;
    std::map<std::string, std::u16string> texts;
    std::map<std::string, std::pair<int, int>> perFormat; // passed, total
    for (const Probe& probe : probes) {
        auto text = texts.find(probe.path);
        if (text == texts.end())
            text = texts.emplace(probe.path, ReadText(CorpusPath(probe.path), contents.context())).first;
        const bool occurs = text->second.find(FromUtf8(probe.word)) != std::u16string::npos;
        EXPECT_EQ(occurs, probe.found) << probe.path << ": " << probe.word;
        auto& [passed, total] = perFormat[probe.path.substr(0, probe.path.find('/'))];
        passed += occurs == probe.found;
        ++total;
    }
    for (const auto& [format, counts] : perFormat)
        std::cout << format << ": " << counts.first << "/" << counts.second << " probes\n";
}

// Reading a damaged document right after a good one must not hand it the good one's text.
TEST(CorpusProbes, DamagedFilesNeverShowThePreviousText) {
    const std::pair<const char*, const char*> sequences[] = {
        {"docx/features.docx", "broken/truncated-60pc.docx"},
        {"docx/features.docx", "broken/random-bytes.docx"},
        {"odt/features.odt", "broken/random-bytes.odt"},
        {"xlsx/two-sheets.xlsx", "xlsx/numbers-only.xlsx"},
        {"pptx/three-slides.pptx", "broken/random-bytes.docx"},
        {"pdf/features.pdf", "broken/random-bytes.pdf"},
        {"pdf/features.pdf", "broken/truncated-half.pdf"},
        {"rtf/features-lo.rtf", "broken/random-bytes.rtf"},
    };
    ContentsFolder contents;
    for (const auto& [good, damaged] : sequences) {
        const std::u16string first = ReadText(CorpusPath(good), contents.context());
        ASSERT_FALSE(first.empty()) << good;
        const std::u16string second = ReadText(CorpusPath(damaged), contents.context());
        EXPECT_EQ(second.find(first.substr(0, std::min<std::size_t>(first.size(), 40))), std::u16string::npos)
            << damaged << " after " << good;
        EXPECT_EQ(second.find(u"Permissive"), std::u16string::npos) << damaged;
        EXPECT_EQ(second.find(u"conditions"), std::u16string::npos) << damaged;
    }
}

// Producers store the main document part at different places in the archive; both orders read
// the same text.
TEST(CorpusProbes, DocxMainPartIsFoundWhereverItIsStored) {
    ContentsFolder contents;
    for (const char* name : {"features", "simple", "cyrillic"}) {
        const std::u16string stored = ReadText(CorpusPath(std::string("docx/") + name + ".docx"), contents.context());
        const std::u16string reordered =
            ReadText(CorpusPath(std::string("docx/") + name + "-wordorder.docx"), contents.context());
        EXPECT_FALSE(stored.empty()) << name;
        EXPECT_EQ(stored, reordered) << name;
    }
}

} // namespace
} // namespace tessarel::test
