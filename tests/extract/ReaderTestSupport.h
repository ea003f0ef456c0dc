#pragma once
// Records and a contents folder for reading documents the way the reading run does.

#include "extract/FileRecord.h"
#include "extract/ReadContext.h"

#include <string>
#include <utility>
#include <vector>

namespace tessarel::test {

// A fresh contents folder with its temporary extraction file, removed at the end.
class ContentsFolder {
public:
    ContentsFolder();
    ~ContentsFolder();
    const ReadContext& context() const { return context_; }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    ReadContext context_;
};

// A record for the file at `path`, as the folder walk makes it.
FileRecord RecordFor(const std::string& path);
std::string CorpusPath(const std::string& relative);
// Reads the document through the dispatch and returns its text.
std::u16string ReadText(const std::string& path, const ReadContext& context);

void WriteFile(const std::string& path, const std::string& bytes);

// Writes a zip archive with these (name, content) members, in this order, deflated.
void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members);

// A member written as given: its raw deflated bytes, its inflated size and its checksum, which
// Deflated makes right and a test may spoil.
struct RawMember {
    std::string name;
    std::string deflated;
    unsigned long size = 0;
    unsigned long crc = 0;
};
RawMember Deflated(const std::string& name, const std::string& content);
void WriteRawZip(const std::string& path, const std::vector<RawMember>& members);

} // namespace tessarel::test
