#include "extract/ReadDocument.h"
#include "platform/File.h"

#include "extract/Readers.h"
#include "extract/TempTextFile.h"
#include "platform/Text.h"
#include "wordbin/Convert.h"
#include "wordbin/TextWalk.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tessarel {
namespace {

UniqueFile OpenRecord(const FileRecord& record, int documentFd = -1) {
    return OpenForReading(record.fileName(), documentFd);
}

// A read buffer up to this size stays with the reading thread from file to file; a larger one is
// given back once its file is read, so a run's memory is its texts and not its largest file.
constexpr std::size_t kKeptBufferBytes = 1 << 20;

thread_local std::string t_buffer;

// At most `limit` bytes from the current position, in the reading thread's buffer, which a run of
// thousands of files thus allocates once. The bytes stay valid while the read lives.
class BufferedRead {
public:
    BufferedRead(std::FILE* f, std::size_t limit) {
        if (t_buffer.size() < limit)
            t_buffer.resize(limit);
        const std::size_t got = limit ? std::fread(t_buffer.data(), 1, limit, f) : 0;
        bytes_ = std::string_view(t_buffer.data(), got);
        failed_ = std::ferror(f) != 0;
    }
    BufferedRead(const BufferedRead&) = delete;
    BufferedRead& operator=(const BufferedRead&) = delete;
    ~BufferedRead() {
        if (t_buffer.size() > kKeptBufferBytes)
            std::string().swap(t_buffer);
    }
    std::string_view bytes() const { return bytes_; }
    // True when reading stopped on an error rather than at the end of the file.
    bool failed() const { return failed_; }

private:
    std::string_view bytes_;
    bool failed_ = false;
};

// Both scans run over every byte of every plain-text file: twice as fast with AVX2 where the
// processor has it.
__attribute__((target_clones("avx2", "default"))) bool HasHighByte(std::string_view bytes) {
    unsigned char bits = 0;
    for (char c : bytes)
        bits |= static_cast<unsigned char>(c);
    return bits > 0x7F;
}

__attribute__((target_clones("avx2", "default"))) void WidenAscii(const char* s, std::size_t n, char16_t* d) {
    for (std::size_t i = 0; i < n; ++i)
        d[i] = static_cast<unsigned char>(s[i]);
}

std::size_t SizeLimit(const FileRecord& record) {
    return record.size > 0 ? static_cast<std::size_t>(record.size) : 0;
}

} // namespace

std::size_t ReadBufferBytes() {
    return t_buffer.capacity();
}

int WordLayoutWidth() {
    return wordbin::CurrentSettings().paragraphBreak;
}

bool ReadDocumentText(FileRecord& record, const ReadContext& context) {
    const std::u16string& e = record.extension;
    // A document that can't be opened now (no descriptor left, a mount gone) is a failure. The
    // plain-text, RTF, Word and mail readers say so themselves; the archive, PDF and image
    // libraries don't tell a missing file from a damaged one, so their documents are opened here first.
    const bool zipReader = e == u"docx" || e == u"xlsx" || e == u"pptx" || e == u"odt" || e == u"ods" ||
                           e == u"odp" || e == u"epub";
    const bool libraryReader = zipReader || e == u"pdf" || IsImageExtension(e);
    if (libraryReader && !OpenRecord(record, context.documentFd)) {
        record.text.clear();
        return false;
    }
    // Readers that go through the temporary file start from an empty one, so a reader that fails
    // can never hand this document the previous one's text.
    const bool usesTempFile = zipReader || e == u"doc";
    if (usesTempFile && !context.wordTempPath.empty())
        TruncateFile(context.wordTempPath);

    record.text.clear();
    bool read = true;
    if (e == u"doc")
        read = ReadWordDocumentText(record, context);
    else if (e == u"docx")
        ReadDocxText(record, context);
    else if (e == u"xlsx")
        ReadXlsxText(record, context);
    else if (e == u"pptx")
        ReadPptxText(record, context);
    else if (e == u"odt")
        ReadOdtText(record, context);
    else if (e == u"ods")
        ReadOdsText(record, context);
    else if (e == u"odp")
        ReadOdpText(record, context);
    else if (e == u"epub")
        ReadEpubText(record, context);
    else if (e == u"pdf")
        ReadPdfText(record, context);
    else if (IsImageExtension(e))
        ReadImageText(record, context);
    else if (e == u"rtf")
        read = ReadRtfText(record, context);
    else if (e == u"eml" || e == u"mbox")
        read = ReadMailText(record, context);
    else
        read = ReadPlainText(record, context.documentFd);
    // The one bound on every reader's text, which a reply from a helper is held to as well.
    if (record.text.size() > kMaxTextUnits)
        record.text.resize(kMaxTextUnits);
    return read;
}

bool HasNonAscii(std::string_view bytes) {
    return HasHighByte(bytes);
}

void AppendAscii(std::u16string& out, std::string_view ascii) {
    // Widened through a small buffer, so that the text is written once and never zero-filled first.
    constexpr std::size_t kStep = 1024;
    char16_t step[kStep];
    out.reserve(out.size() + ascii.size());
    for (std::size_t at = 0; at < ascii.size(); at += kStep) {
        const std::size_t n = std::min(kStep, ascii.size() - at);
        WidenAscii(ascii.data() + at, n, step);
        out.append(step, n);
    }
}

void AppendPlainText(std::u16string& out, std::string_view bytes) {
    // Single-byte text stops at its first NUL.
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    if (!HasHighByte(bytes)) {
        AppendAscii(out, bytes);
        return;
    }
    // Text files on this platform are UTF-8: a file that is valid UTF-8 throughout is decoded as
    // such; anything else keeps the Windows-1251 reading.
    if (IsValidUtf8(bytes))
        out.append(FromUtf8(bytes));
    else
        out.append(FromCp1251(bytes));
}

bool ReadPlainText(FileRecord& record, int documentFd) {
    record.text.clear();
    UniqueFile f = OpenRecord(record, documentFd);
    if (!f)
        return false;
    unsigned char mark[2] = {0, 0};
    const std::size_t got = std::fread(mark, 1, 2, f.get());
    // Every plain text begins with one space: it lets a word at the very start pass the
    // start-of-word test like any other.
    if (got == 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        const BufferedRead read(f.get(), SizeLimit(record));
        const std::string_view bytes = read.bytes();
        record.text.reserve(bytes.size() / 2 + 1);
        record.text.push_back(u' ');
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                        (static_cast<unsigned char>(bytes[i + 1]) << 8));
            if (unit == 0)
                break;
            record.text.push_back(unit);
        }
        return !read.failed();
    }
    if (std::ferror(f.get()))
        return false;
    std::rewind(f.get());
    const BufferedRead read(f.get(), SizeLimit(record));
    if (read.failed())
        return false;
    const std::string_view bytes = read.bytes();
    record.text.reserve(bytes.size() + 1);
    record.text.push_back(u' ');
    AppendPlainText(record.text, bytes);
    return true;
}

namespace {

enum class Head { Rtf, Other, Unreadable };

Head HeadOf(const FileRecord& record, int documentFd) {
    UniqueFile f = OpenRecord(record, documentFd);
    if (!f)
        return Head::Unreadable;
    char head[5];
    const std::size_t got = std::fread(head, 1, 5, f.get());
    if (std::ferror(f.get()))
        return Head::Unreadable;
    return got == 5 && std::string_view(head, 5) == "{\\rtf" ? Head::Rtf : Head::Other;
}

} // namespace

bool IsRtfFile(const FileRecord& record, int documentFd) {
    return HeadOf(record, documentFd) == Head::Rtf;
}

bool ReadWordDocumentText(FileRecord& record, const ReadContext& context) {
    const Head head = HeadOf(record, context.documentFd);
    if (head == Head::Unreadable) {
        record.text.clear();
        return false;
    }
    if (head == Head::Rtf)
        return ReadRtfText(record, context);
    record.text.clear();
    if (context.wordTempPath.empty())
        return true;
    const std::string source = record.fileName();
    wordbin::Convert(source, context.wordTempPath, context.documentFd);
    bool failed = false;
    record.text = ReadTempTextFile(context, &failed);
    return !failed;
}

std::u16string ReadTempTextFile(const ReadContext& context, bool* failed) {
    UniqueFile f(std::fopen(context.wordTempPath.c_str(), "rb"));
    if (failed)
        *failed = !f;
    if (!f)
        return {};
    std::fseek(f.get(), 0, SEEK_END);
    const long length = std::ftell(f.get());
    std::rewind(f.get());
    if (length <= 0)
        return {};
    // Whatever wrote the file, no more is taken than a conversion may write.
    const BufferedRead read(f.get(), static_cast<std::size_t>(std::min<std::uint64_t>(
                                         static_cast<std::uint64_t>(length), wordbin::kMaxConvertedBytes)));
    if (failed)
        *failed = read.failed();
    std::string_view bytes = read.bytes();
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    return FromUtf8(bytes);
}

} // namespace tessarel
