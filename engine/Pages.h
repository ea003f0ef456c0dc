#pragma once
// The HTML pieces of result pages and the page writer.

#include "extract/FileRecord.h"
#include "engine/FixedText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessarel {

inline constexpr std::u16string_view kNoResults = u"No results found.";

// The part of a path after its last "/".
std::u16string_view FileNameOf(std::u16string_view path);

// The document header: icon, "open#" link with the file name, size and date, and the full path.
// Each piece goes into `header` only if it fits.
void MakeDocumentHeader(FixedText& header, const FileInfo& record);
// One result line: the "show#" link of a fragment shown as `fragment`.
std::u16string ResultLine(int index, std::size_t offset, std::size_t length, std::u16string_view fragment);
// "%d KB, %d.%d.%d %d:%d" of a record's size and local modification time.
std::u16string FileInfoText(std::int64_t size, std::int64_t modified);

// Writes pages as contents/contentN.html (UTF-16LE after FF FE) with the page head and style.
class PageWriter {
public:
    // pageDirectory: ProgramDirectory, or empty for the current directory.
    explicit PageWriter(std::string pageDirectory) : pageDirectory_(std::move(pageDirectory)) {}

    // Writes the next page; returns its file path (to navigate to) or nothing when it can't be
    // written, in which case the page number stays.
    std::optional<std::string> write(std::u16string_view content, const std::u16string& fontFace,
                                     std::int32_t fontSize);
    int pageNumber() const { return pageNumber_; }
    const std::string& pageDirectory() const { return pageDirectory_; }

private:
    std::string pageDirectory_;
    int pageNumber_ = 1;
};

// head + content + tail, with the font face (empty: "Arial") and size (0: 10).
std::u16string PageText(std::u16string_view content, const std::u16string& fontFace, std::int32_t fontSize);

} // namespace tessarel
