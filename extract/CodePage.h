#pragma once
// Text in a Windows code page, as RTF names it, decoded to UTF-16 through the C library's
// converters. Single-byte pages go through a table built once per page.

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessarel {

class CodePageDecoder {
public:
    CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;
    ~CodePageDecoder();

    // Appends the text of `bytes` in Windows code page `codePage` to `out`. A page the C library
    // doesn't know reads as 1252; a byte with no character becomes U+FFFD.
    void decode(int codePage, std::string_view bytes, std::u16string& out);

    // The Windows code page of an RTF font character set; 0 for "the document's own".
    static int charsetCodePage(int charset);

private:
    struct Page;
    Page& page(int codePage);

    std::vector<std::unique_ptr<Page>> pages_;
};

} // namespace tessarel
