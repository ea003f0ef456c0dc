// E-mail: a single message (.eml) or an mbox archive of them, parsed with GMime. Each message
// gives its From, To, Cc, Subject and Date header lines, then its body's text: plain parts
// decoded from their charset, HTML parts without their markup where no plain alternative
// exists, and one line naming each attachment, whose content is never read.

#include "extract/HtmlText.h"
#include "extract/ReadDocument.h"
#include "extract/Readers.h"
#include "platform/File.h"
#include "platform/Text.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

namespace tessarel {
namespace {

// A hostile message can't make the walk deeper or longer than this.
constexpr int kMaxMailDepth = 32;
constexpr int kMaxMailParts = 10000;
constexpr char16_t kReplacement = 0xFFFD;
// The most of a file read: the library's arrays count in 32 bits, and the reading run never
// hands over a file this large.
constexpr std::int64_t kMaxMailFileBytes = 1ll << 30;

const char* const kHeaderLines[] = {"From", "To", "Cc", "Subject", "Date"};

void InitGMime() {
    // The library's type system and charset tables are set up once per process, whichever
    // reading thread gets here first.
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Owns one reference to a GObject.
template <class T> class Ref {
public:
    explicit Ref(T* object) : object_(object) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (object_)
            g_object_unref(object_);
    }
    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_;
};

// Converts through iconv to UTF-16LE; a byte that makes no character becomes U+FFFD and the
// conversion goes on after it. False when the converter can't be had.
bool AppendConverted(std::string_view bytes, const char* charset, std::u16string& out) {
    const iconv_t converter = g_mime_iconv_open("UTF-16LE", charset);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char16_t buffer[4096];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer);
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(reinterpret_cast<char16_t*>(outPtr) - buffer));
        if (result != static_cast<std::size_t>(-1) || error == E2BIG)
            continue;
        out.push_back(kReplacement);
        if (error != EILSEQ)
            break; // a character cut off at the end, or a converter that fails outright
        ++in;
        --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    g_mime_iconv_close(converter);
    return true;
}

bool IsUtf8Name(const char* charset) {
    const char* canonical = g_mime_charset_canon_name(charset);
    return g_ascii_strcasecmp(canonical, "utf-8") == 0 || g_ascii_strcasecmp(canonical, "us-ascii") == 0;
}

// Text in the charset its part names. Without one, or with one this system has no converter
// for, text that is valid UTF-8 is read as such and anything else as Windows-1252.
void AppendInCharset(std::string_view bytes, const char* charset, std::u16string& out) {
    if (!HasNonAscii(bytes)) {
        AppendAscii(out, bytes);
        return;
    }
    const bool named = charset && *charset && !IsUtf8Name(charset);
    if (named && AppendConverted(bytes, charset, out))
        return;
    if (IsValidUtf8(bytes)) {
        out.append(FromUtf8(bytes));
        return;
    }
    if (!AppendConverted(bytes, "windows-1252", out))
        for (const char c : bytes)
            out.push_back(static_cast<unsigned char>(c));
}

void AppendUtf8(const char* text, std::u16string& out) {
    if (text)
        out.append(FromUtf8(text));
}

bool IsText(GMimeObject* object, const char* subtype) {
    return g_mime_content_type_is_type(g_mime_object_get_content_type(object), "text", subtype);
}

// A part that is meant as a file of its own rather than as the message's text.
bool IsAttachment(GMimeObject* object) {
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
    if (disposition && g_mime_content_disposition_is_attachment(disposition))
        return true;
    const char* name = g_mime_part_get_filename(GMIME_PART(object));
    return name && *name;
}

bool IsBodyText(GMimeObject* object, const char* subtype) {
    return GMIME_IS_PART(object) && IsText(object, subtype) && !IsAttachment(object);
}

class MailWalk {
public:
    explicit MailWalk(std::u16string& text) : text_(text) {}

    void message(GMimeMessage* message, int depth) {
        GMimeObject* object = GMIME_OBJECT(message);
        for (const char* name : kHeaderLines) {
            const char* value = g_mime_object_get_header(object, name);
            if (!value)
                continue;
            text_.append(Widen(name));
            text_.append(u": ");
            AppendUtf8(value, text_);
            text_.push_back(u'\n');
        }
        text_.push_back(u'\n');
        if (GMimeObject* body = g_mime_message_get_mime_part(message))
            entity(body, depth + 1);
    }

private:
    bool full() const { return text_.size() >= kMaxTextUnits; }

    void entity(GMimeObject* object, int depth) {
        if (depth > kMaxMailDepth || ++parts_ > kMaxMailParts || full())
            return;
        if (GMIME_IS_MESSAGE_PART(object)) {
            // A forwarded message: its own header lines, then its body.
            if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
                message(inner, depth);
        } else if (GMIME_IS_MULTIPART(object)) {
            multipart(GMIME_MULTIPART(object), depth);
        } else if (GMIME_IS_PART(object)) {
            part(object);
        }
    }

    void multipart(GMimeMultipart* multipart, int depth) {
        const int count = g_mime_multipart_get_count(multipart);
        if (g_mime_content_type_is_type(g_mime_object_get_content_type(GMIME_OBJECT(multipart)), "multipart",
                                        "alternative")) {
            // One rendering of the same text: the plain one where there is one, else the richest.
            GMimeObject* chosen = nullptr;
            for (int i = 0; i < count && !chosen; ++i)
                if (IsBodyText(g_mime_multipart_get_part(multipart, i), "plain"))
                    chosen = g_mime_multipart_get_part(multipart, i);
            for (int i = count - 1; i >= 0 && !chosen; --i) {
                GMimeObject* child = g_mime_multipart_get_part(multipart, i);
                if (IsBodyText(child, "html") || GMIME_IS_MULTIPART(child))
                    chosen = child;
            }
            if (chosen)
                entity(chosen, depth + 1);
            return;
        }
        for (int i = 0; i < count && !full(); ++i)
            entity(g_mime_multipart_get_part(multipart, i), depth + 1);
    }

    void part(GMimeObject* object) {
        if (IsAttachment(object)) {
            if (const char* name = g_mime_part_get_filename(GMIME_PART(object)); name && *name) {
                text_.append(u"Attachment: ");
                AppendUtf8(name, text_);
                text_.push_back(u'\n');
            }
            return;
        }
        const bool html = IsText(object, "html");
        if (!html && !IsText(object, "plain"))
            return;
        GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object));
        if (!content)
            return;
        // The transfer encoding (quoted-printable, base64) is undone as the content is written.
        Ref<GMimeStream> decoded(g_mime_stream_mem_new());
        g_mime_data_wrapper_write_to_stream(content, decoded.get());
        const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded.get()));
        const std::string_view view(reinterpret_cast<const char*>(bytes->data), bytes->len);
        const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
        if (html) {
            std::u16string markup;
            AppendInCharset(view, charset, markup);
            std::u16string plain;
            AppendHtmlText(markup, plain);
            text_.append(plain);
        } else {
            AppendInCharset(view, charset, text_);
        }
        if (!text_.empty() && text_.back() != u'\n')
            text_.push_back(u'\n');
    }

    std::u16string& text_;
    int parts_ = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// An mbox separator: "From " at a line's start, with the sender and a time of day ("From
// someone@example.org Mon Jan  6 10:00:00 2025"), at the file's start or after a blank line. A
// body line that begins "From " without all of these stays in its message.
bool IsSeparator(std::string_view bytes, std::size_t at) {
    if (bytes.compare(at, 5, "From ") != 0)
        return false;
    if (at > 0 && !(at >= 2 && bytes[at - 1] == '\n' && (bytes[at - 2] == '\n' || bytes[at - 2] == '\r')))
        return false;
    const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
    const std::string_view line = bytes.substr(at + 5, end - at - 5);
    if (line.empty() || line[0] == ' ')
        return false;
    for (std::size_t i = 1; i + 2 < line.size(); ++i)
        if (line[i] == ':' && IsDigit(line[i - 1]) && IsDigit(line[i + 1]) && IsDigit(line[i + 2]))
            return true;
    return false;
}

struct MessageSpan {
    std::size_t start;
    std::size_t end;
};

// Each message of the file, in order: the bytes after each separator line up to the next, and
// those before the first separator when there are any.
std::vector<MessageSpan> MessageSpans(std::string_view bytes) {
    std::vector<std::size_t> separators;
    for (std::size_t at = 0; at < bytes.size();) {
        if (IsSeparator(bytes, at))
            separators.push_back(at);
        // By its "F": a line end is too common a character to search by.
        for (++at; at < bytes.size(); ++at) {
            const void* f = std::memchr(bytes.data() + at, 'F', bytes.size() - at);
            if (!f) {
                at = bytes.size();
                break;
            }
            at = static_cast<std::size_t>(static_cast<const char*>(f) - bytes.data());
            if (bytes[at - 1] == '\n' && bytes.compare(at, 5, "From ") == 0)
                break;
        }
    }
    std::vector<MessageSpan> spans;
    spans.push_back({0, separators.empty() ? bytes.size() : separators.front()});
    for (std::size_t i = 0; i < separators.size(); ++i) {
        const std::size_t lineEnd = bytes.find('\n', separators[i]);
        const std::size_t start = lineEnd == std::string_view::npos ? bytes.size() : lineEnd + 1;
        spans.push_back({start, i + 1 < separators.size() ? separators[i + 1] : bytes.size()});
    }
    return spans;
}

bool IsBlank(std::string_view bytes) {
    return bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

void ReadMessage(GMimeStream* file, std::string_view bytes, const MessageSpan& span, std::u16string& text) {
    Ref<GMimeStream> stream(
        g_mime_stream_substream(file, static_cast<gint64>(span.start), static_cast<gint64>(span.end)));
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    Ref<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (message)
        MailWalk(text).message(message.get(), 0);
    else // a header the parser can't take: the words are still the message's
        AppendInCharset(bytes.substr(span.start, span.end - span.start), nullptr, text);
}

} // namespace

bool ReadMailText(FileRecord& record, const ReadContext& context) {
    record.text.clear();
    UniqueFile f = OpenForReading(record.fileName(), context.documentFd);
    if (!f)
        return false;
    if (record.size <= 0)
        return true;
    InitGMime();
    // The file goes once into the array the memory stream takes over; every message is a
    // window on it.
    const auto size = static_cast<guint>(std::min(record.size, kMaxMailFileBytes));
    GByteArray* array = g_byte_array_sized_new(size);
    g_byte_array_set_size(array, size);
    const std::size_t got = std::fread(array->data, 1, array->len, f.get());
    if (std::ferror(f.get())) {
        g_byte_array_unref(array);
        return false;
    }
    g_byte_array_set_size(array, static_cast<guint>(got));
    Ref<GMimeStream> file(g_mime_stream_mem_new_with_byte_array(array));
    const std::string_view bytes(reinterpret_cast<const char*>(array->data), array->len);

    // Mail text is rarely longer than its file: reserved once here (untouched pages cost
    // nothing) and copied to the record at its own length.
    std::u16string text;
    text.reserve(std::min<std::size_t>(bytes.size(), kMaxTextUnits) + 1024);
    for (const MessageSpan& span : MessageSpans(bytes)) {
        if (text.size() >= kMaxTextUnits)
            break;
        if (IsBlank(bytes.substr(span.start, span.end - span.start)))
            continue;
        if (!text.empty() && text.back() != u'\n')
            text.push_back(u'\n');
        ReadMessage(file.get(), bytes, span, text);
    }
    if (text.size() > kMaxTextUnits)
        text.resize(kMaxTextUnits);
    record.text = text;
    return true;
}

} // namespace tessarel
