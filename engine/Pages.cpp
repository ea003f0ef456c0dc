#include "engine/Pages.h"

#include "engine/Catalog.h"
#include "engine/DocumentTypes.h"
#include "engine/FileResults.h"
#include "engine/Html.h"
#include "engine/Paths.h"
#include "platform/Clock.h"
#include "platform/Text.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace tessarel {
namespace {

constexpr std::size_t kIconNameLength = 15;
// The most units one character of document text takes once escaped ('"' as "&quot;").
constexpr std::size_t kMaxEscapedLength = 6;

// The extension as written in the path, for the icon name.
std::u16string_view WrittenExtension(std::u16string_view path) {
    const std::size_t dot = path.rfind(u'.');
    std::u16string_view e = dot == std::u16string_view::npos ? path : path.substr(dot + 1);
    return e.substr(0, kIconNameLength);
}

// A path inside an href: escaped for the attribute, and "%" encoded because the view decodes
// percent escapes before it opens the document.
std::u16string LinkTarget(std::u16string_view path) {
    std::u16string out;
    for (char16_t c : path) {
        if (c == u'%')
            out.append(u"%25");
        else
            AppendEscaped(out, std::u16string_view(&c, 1), true);
    }
    return out;
}

} // namespace

std::u16string_view FileNameOf(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'/');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string FileInfoText(std::int64_t size, std::int64_t modified) {
    int day = 0, month = 0, year = 0, hour = -1, minute = -1;
    std::tm t{};
    if (ToLocalTime(modified, t)) {
        day = t.tm_mday, month = t.tm_mon + 1, year = t.tm_year + 1900, hour = t.tm_hour, minute = t.tm_min;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%lld KB, %d.%d.%d %d:%d", static_cast<long long>(size / 1024), day, month,
                  year, hour, minute);
    return Widen(text);
}

void MakeDocumentHeader(FixedText& header, const FileInfo& record) {
    const std::u16string_view written = WrittenExtension(record.path);
    std::u16string padded = u" ";
    padded.append(written);
    padded.push_back(u' ');
    // The further text extensions have no pictures of their own: any extension no type names
    // (one of setting TextExtensions) shows the plain-text icon as well.
    const bool textIcon = CCatalog::textTypes.find(padded) != std::u16string_view::npos ||
                          !DocumentTypeOf(Folded(written));

    // The fixed capacity was sized for short raw paths; the path goes in escaped, twice, and the
    // file name once, so the header makes room for their worst case and no piece is dropped.
    const std::size_t name = FileNameOf(record.path).size();
    header.ensureCapacity(CFileResults::kHeaderCapacity +
                          kMaxEscapedLength * (2 * record.path.size() + name));
    header.clear();
    header.append(u"<img src=\"images/");
    header.append(textIcon ? u"txt" : Escaped(written, true));
    header.append(u".gif\">&nbsp;");
    header.append(u"<a href=\"open#");
    header.append(LinkTarget(record.path));
    header.append(u"\" title=\"");
    header.append(u"Open the document");
    header.append(u"\">");
    header.append(Escaped(FileNameOf(record.path)));
    header.append(u"</a><span class=\"file_info\">");
    header.append(FileInfoText(record.size, record.modified));
    header.append(u"</span><br>");
    header.append(u"<span class=\"file_info\">");
    header.append(Escaped(record.path));
    header.append(u"</span><br>");
}

std::u16string ResultLine(int index, std::size_t offset, std::size_t length, std::u16string_view fragment) {
    std::u16string line = u"<img src=\"images/arrow.gif\"> <a href=\"show#";
    line.append(NumberText(index));
    line.append(u"#start");
    line.append(NumberText(static_cast<long long>(offset)));
    line.append(u"#length");
    line.append(NumberText(static_cast<long long>(length)));
    line.append(u"\" title=\"Show the text\">");
    AppendEscaped(line, fragment);
    line.append(u"</a><br><img src=\"images/space.gif\" width=1 height=10><br>");
    return line;
}

std::u16string PageText(std::u16string_view content, const std::u16string& fontFace, std::int32_t fontSize) {
    const std::u16string face = fontFace.empty() ? u"Arial" : fontFace;
    const std::u16string size = fontSize == 0 ? u"10" : NumberText(fontSize);
    static constexpr std::u16string_view kStyleLines[] = {
        u"a {color: #1D3760; text-decoration: none;}",
        u"a:hover {text-decoration: none}",
        u"a.title {font-weight: bold; color: #1164B2; text-decoration: none}",
        u"a.title:hover {text-decoration: underline}",
        u"a.link {color: #4045A0;}",
        u"span.searched {color: #FD0000;}",
        u"span.file_info {color: #9999AA; font-size: 10pt; padding-left: 15;}",
        u"span.fragment {color: #439549;}",
        u"span.title {font-size: 10pt;}",
        u"a.stih {color: #439549; text-decoration: none}",
        u"td {padding-bottom: 10;}",
    };
    std::u16string page;
    page.reserve(content.size() + 1200);
    auto line = [&page](std::u16string_view text) {
        page.append(u"\t\t");
        page.append(text);
        page.push_back(u'\n');
    };
    page.append(u"<html>\n");
    line(u"<head>");
    line(u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">");
    line(u"<style>");
    line(u"body {font-family: " + Escaped(face) + u"; font-size: " + size +
         u"pt; color: #1D3760; background-color: #FFFFFF; margin-left:20; margin-right:200;}");
    for (std::u16string_view style : kStyleLines)
        line(style);
    line(u"</style>");
    line(u"</head>");
    line(u"<body>");
    page.append(content);
    page.append(u"\n</body>\n\t</html>");
    return page;
}

std::optional<std::string> PageWriter::write(std::u16string_view content, const std::u16string& fontFace,
                                             std::int32_t fontSize) {
    std::string path = ContentsPath(pageDirectory_) + "content" + std::to_string(pageNumber_) + ".html";
    if (path.front() != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd))
            path = std::string(cwd) + "/" + path;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return std::nullopt;
    const std::u16string page = PageText(content, fontFace, fontSize);
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + page.size() * 2);
    for (char16_t c : page) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written)
        return std::nullopt;
    ++pageNumber_;
    return path;
}

} // namespace tessarel
