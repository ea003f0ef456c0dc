#include "engine/Catalog.h"

#include "engine/Paths.h"
#include "extract/ReadDocument.h"
#include "platform/Text.h"

#include <cerrno>
#include <dirent.h>
#include <exception>
#include <sys/stat.h>

namespace tessarel {
namespace {

constexpr std::u16string_view kReadingFiles = u"Reading files...";
constexpr std::u16string_view kWholeDrive =
    u"Tessarel is not designed to search the entire hard drive. Please, choose a folder instead.";

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

std::u16string LowerExtension(std::u16string_view path) {
    const std::size_t dot = path.rfind(u'.');
    std::u16string e(dot == std::u16string_view::npos ? path : path.substr(dot + 1));
    FoldInPlace(e);
    return e;
}

} // namespace

CCatalog::CCatalog(SettingsStore& settings, EngineSink& sink, Notifier& notifier)
    : settings_(settings), sink_(sink), notifier_(notifier), log_(ProgramDirectory(settings), notifier) {
    records_.reserve(kMaxRecords + 1);
}

CCatalog::~CCatalog() { worker_.waitForEnd(); }

bool CCatalog::start() {
    if (isRunning())
        return false;
    stopRequested_.store(false);
    return worker_.start([this] { return run(); });
}

bool CCatalog::typeEnabled(std::u16string_view e) const {
    if (e == u"rtf")
        return FilesRtf == 1;
    if (e == u"doc")
        return FilesDoc == 1;
    if (e == u"docx")
        return FilesDocx == 1;
    if (e == u"xlsx")
        return FilesXlsx == 1;
    if (e == u"pptx")
        return FilesPptx == 1;
    if (e == u"odt")
        return FilesOdt == 1;
    if (e == u"pdf")
        return FilesPdf == 1;
    if (e.empty() || e.find(u' ') != std::u16string_view::npos)
        return false;
    std::u16string padded = u" ";
    padded.append(e);
    padded.push_back(u' ');
    return allTypes.find(padded) != std::u16string_view::npos && FilesText == 1;
}

void CCatalog::postStatus(const std::u16string& text) { sink_.post(WM_ENGINE_STATUS, text); }

int CCatalog::run() {
    contentsPath_ = ContentsPath(ProgramDirectory(settings_));
    tempFile_.acquire(contentsPath_);
    struct stat contents;
    const bool haveContents = stat(contentsPath_.c_str(), &contents) == 0;
    contentsDevice_ = haveContents ? static_cast<std::uint64_t>(contents.st_dev) : 0;
    contentsInode_ = haveContents ? static_cast<std::uint64_t>(contents.st_ino) : 0;
    postStatus(std::u16string(kReadingFiles));

    records_.clear();
    walkStopped_ = false;
    try {
        if (folder.size() <= 4)
            notifier_.warn(u"Tessarel", std::u16string(kWholeDrive));
        else
            walk(ToUtf8(folder));
        readAll();
    } catch (const std::exception& e) {
        // Out of memory in the walk, say: the run ends with what it has, and still says so.
        log_.append(u"Reading run ended early: " + FromUtf8(e.what()));
    }

    postStatus(NumberText(count()) + u" files have been processed.");
    sink_.post(WM_READING_DONE, {});
    return 0;
}

void CCatalog::walk(const std::string& nativeFolder) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(nativeFolder.c_str()));
    if (!dir)
        return;
    struct stat self;
    if (fstat(dirfd(dir.get()), &self) == 0 && contentsInode_ != 0 &&
        static_cast<std::uint64_t>(self.st_dev) == contentsDevice_ &&
        static_cast<std::uint64_t>(self.st_ino) == contentsInode_)
        return;
    const std::string prefix = nativeFolder.back() == '/' ? nativeFolder : nativeFolder + "/";
    for (int entries = 0; entries < kMaxEntriesPerFolder; ++entries) {
        if (count() >= kMaxRecords || stopRequested_.load(std::memory_order_relaxed))
            walkStopped_ = true;
        if (walkStopped_)
            return;
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry)
            return;  // the end of the listing, or an error: either way this folder is done
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = prefix + std::string(name);

        struct stat st;
        bool isLink = entry->d_type == DT_LNK;
        if (entry->d_type == DT_UNKNOWN) {
            if (lstat(path.c_str(), &st) != 0)
                continue;
            isLink = S_ISLNK(st.st_mode);
        }
        // Links are followed to files only: a link to a folder could make the walk loop.
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (!isLink)
                walk(path);
            continue;
        }
        if (!S_ISREG(st.st_mode))
            continue;
        addFile(path, static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec));
    }
}

void CCatalog::addFile(const std::string& nativePath, std::int64_t size, std::int64_t modified) {
    std::u16string path = FromUtf8(nativePath);
    std::u16string extension = LowerExtension(path);
    if (!typeEnabled(extension))
        return;
    if ((extension == u"pdf" && size > kMaxPdfSize) || size > kMaxFileSize) {
        log_.append(path);
        log_.append(u"Maximum length exceeded:");
        log_.append(NumberText(size));
        return;
    }
    FileRecord& record = records_.emplace_back();
    record.path = std::move(path);
    record.nativePath = nativePath;
    record.extension = std::move(extension);
    record.size = size;
    record.modified = modified;
}

void CCatalog::readGuarded(FileRecord& record, const ReadContext& context) {
    // A reader that throws (out of memory on a huge document, a library's own error) costs only
    // its document: it gets the empty text and a log line, and the run goes on.
    try {
        readDocument(record, context);
        return;
    } catch (const std::exception& e) {
        log_.append(u"Can't read the document: " + FromUtf8(e.what()));
    } catch (...) {
        log_.append(u"Can't read the document.");
    }
    std::u16string().swap(record.text);
}

void CCatalog::readAll() {
    const ReadContext context{contentsPath_, tempFile_.path(), rtf};
    const int n = count();
    const float step = n > 0 ? 1.0f / static_cast<float>(n) : 0.0f;
    int lastPercent = 0;
    for (int i = 0; i < n; ++i) {
        if (stopRequested_.load(std::memory_order_relaxed)) {
            // Only documents whose text was read stay in the catalogue.
            records_.resize(static_cast<std::size_t>(i));
            return;
        }
        FileRecord& record = records_[static_cast<std::size_t>(i)];
        log_.append(record.path);
        readGuarded(record, context);
        FoldInto(record.foldedText, record.text);
        // Single precision, as the percentages always were; posted only when they grow.
        const int percent = static_cast<int>(static_cast<float>(i + 1) * step * 100.0f);
        if (percent > lastPercent) {
            lastPercent = percent;
            postStatus(std::u16string(kReadingFiles) + u" " + NumberText(percent) + u"%");
        }
    }
}

} // namespace tessarel
