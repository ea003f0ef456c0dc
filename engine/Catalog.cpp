#include "engine/Catalog.h"

#include "engine/Paths.h"
#include "extract/ReadDocument.h"
#include "extract/Readers.h"
#include "extract/Recognition.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace tessarel {
namespace {

constexpr std::u16string_view kReadingFiles = u"Reading files...";
constexpr std::u16string_view kWholeDrive =
    u"Tessarel is not designed to search the entire hard drive. Please, choose a folder instead.";
constexpr std::u16string_view kNoReaderHelper =
    u"The reader helper tessarel-reader is missing: PDF and Office documents are read inside the program.";
constexpr std::u16string_view kNoLandlock =
    u"The kernel has no Landlock: the reader helpers run under their system-call filter alone.";

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
    records_.reserve(kDefaultMaxDocuments + 1);
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        stopPipe_[0] = stopPipe_[1] = -1;
}

CCatalog::~CCatalog() {
    worker_.waitForEnd();
    for (int fd : stopPipe_)
        if (fd >= 0)
            ::close(fd);
}

bool CCatalog::start() {
    if (isRunning())
        return false;
    stopRequested_.store(false);
    char drained[64];
    while (stopPipe_[0] >= 0 && ::read(stopPipe_[0], drained, sizeof drained) > 0) {
    }
    return worker_.start([this] {
        run();
        return 0;
    });
}

void CCatalog::requestStop() {
    stopRequested_.store(true);
    if (stopPipe_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], &byte, 1);
    }
}

bool CCatalog::readInHelper(std::u16string_view e) {
    return e == u"pdf" || e == u"doc" || e == u"docx" || e == u"xlsx" || e == u"pptx" || e == u"odt" ||
           e == u"ods" || e == u"odp" || e == u"epub" || e == u"eml" || e == u"mbox" || IsImageExtension(e);
}

bool CCatalog::worthCaching(std::u16string_view e) {
    // Plain text is read faster than its stored copy is looked up and decompressed.
    return readInHelper(e) || e == u"rtf";
}

int CCatalog::workerCount() const {
    int n = readingThreads > 0 ? readingThreads : settings_.readInt(kSettingsSection, "ReadingThreads", 0);
    if (n <= 0)
        n = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(n, 1, 64);
}

int CCatalog::documentLimit() const {
    int n = maxDocuments > 0 ? maxDocuments : settings_.readInt(kSettingsSection, "MaxDocuments", 0);
    if (n <= 0)
        n = kDefaultMaxDocuments;
    return std::min(n, kMostDocuments);
}

bool CCatalog::typeEnabled(std::u16string_view e) const {
    const DocumentType* type = DocumentTypeOf(e, TextExtensions);
    // Images have no text but what recognition finds: without it they are not catalogued.
    if (type && type->switchOf == &TypeSwitches::FilesImages && !recognition_.on)
        return false;
    return type && this->*type->switchOf == 1;
}

void CCatalog::settleRecognition() {
    recognition_ = recognitionBudgets;
    recognition_.on = (ocr >= 0 ? ocr : settings_.readInt(kSettingsSection, "Ocr", 0)) == 1;
    recognition_.languages.clear();
    if (!recognition_.on)
        return;
    const std::string setting =
        ocrLanguages.empty() ? ToUtf8(settings_.readString(kSettingsSection, "OcrLanguages", u"eng")) : ocrLanguages;
    // A language that isn't installed is left out, said once a run: the others still serve.
    std::vector<std::string> missing;
    recognition_.languages = InstalledLanguagesOf(setting, &missing);
    for (const std::string& language : missing)
        log_.append(u"Text recognition: the language \"" + FromUtf8(language) + u"\" is not installed.");
    if (recognition_.languages.empty()) {
        log_.append(u"Text recognition is off: none of its languages is installed.");
        recognition_.on = false;
    }
}

void CCatalog::postStatus(const std::u16string& text) {
    sink_.post(WM_ENGINE_STATUS, text);
}

void CCatalog::run() {
    contentsPath_ = ContentsPath(ProgramDirectory(settings_));
    SweepTemporaryFiles(contentsPath_);
    tempFile_.acquire(contentsPath_);
    struct stat contents;
    const bool haveContents = stat(contentsPath_.c_str(), &contents) == 0;
    contentsDevice_ = haveContents ? static_cast<std::uint64_t>(contents.st_dev) : 0;
    contentsInode_ = haveContents ? static_cast<std::uint64_t>(contents.st_ino) : 0;
    postStatus(std::u16string(kReadingFiles));

    records_.clear();
    texts_.release();
    cacheKeys_.clear();
    seenFiles_.clear();
    // Taken once: the helpers the run starts inherit the same environment.
    layoutWidth_ = WordLayoutWidth();
    walkStopped_ = false;
    walkCut_ = false;
    documentLimit_ = documentLimit();
    // Beyond the default the records grow with the folder: a cap of a million costs nothing
    // until a folder holds that many.
    records_.reserve(static_cast<std::size_t>(std::min(documentLimit_, kDefaultMaxDocuments)) + 1);
    limitNotices_.clear();
    readerMissing_ = false;
    try {
        settleRecognition();
        if (refusesFolder(folder))
            notifier_.warn(u"Tessarel", std::u16string(kWholeDrive));
        else
            walk(ToUtf8(folder));
        readAll();
        for (const std::u16string& notice : limitNotices_)
            log_.append(notice);
        forgetVanishedFiles();
        if (textCache)
            textCache->endOfRun();
    } catch (const std::exception& e) {
        // Out of memory in the walk, say: the run ends with what it has, and still says so.
        log_.append(u"Reading run ended early: " + FromUtf8(e.what()));
    }

    postStatus(NumberText(count()) + u" files have been processed." +
               (readerMissing_ ? u" " + std::u16string(kNoReaderHelper) : u""));
    sink_.post(WM_READING_DONE, {});
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
    for (int entries = 0;; ++entries) {
        if (stopRequested_.load(std::memory_order_relaxed))
            walkStopped_ = true;
        if (walkStopped_)
            return;
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry)
            return; // the end of the listing, or an error: either way this folder is done
        if (entries == kMaxEntriesPerFolder) {
            // This entry is one past the limit: the folder holds more than is looked at.
            walkCut_ = true;
            limitNotices_.push_back(u"The folder " + FromUtf8(nativeFolder) + u" holds more than " +
                                    NumberText(kMaxEntriesPerFolder) + u" entries: only the first " +
                                    NumberText(kMaxEntriesPerFolder) + u" were looked at");
            return;
        }
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
        addFile(path, st);
    }
}

void CCatalog::addFile(const std::string& nativePath, const struct stat& st) {
    const auto size = static_cast<std::int64_t>(st.st_size);
    if (textCache)
        seenFiles_.insert({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    std::u16string path = FromUtf8(nativePath);
    std::u16string extension = LowerExtension(path);
    if (!typeEnabled(extension))
        return;
    if (count() >= documentLimit_) {
        // The walk goes on past a full catalogue only to this document, so that it can say there
        // are more: no further entry is looked at.
        walkStopped_ = true;
        limitNotices_.push_back(NumberText(count()) + u" documents were read; the folder holds more: "
                                                      u"raise MaxDocuments to read them");
        return;
    }
    if ((extension == u"pdf" && size > kMaxPdfSize) || size > kMaxFileSize) {
        log_.append(path);
        log_.append(u"Maximum length exceeded:");
        log_.append(NumberText(size));
        return;
    }
    CatalogRecord& record = records_.emplace_back();
    record.path = std::move(path);
    // A name that is UTF-8 throughout is the path's own UTF-8 (fileName()): only other names keep their bytes.
    if (!IsValidUtf8(nativePath))
        record.nativePath = nativePath;
    record.extension = std::move(extension);
    record.size = size;
    record.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    if (textCache)
        cacheKeys_.push_back(cacheKeyOf(st, nativePath, record.extension));
}

TextCacheKey CCatalog::cacheKeyOf(const struct stat& st, const std::string& nativePath,
                                  std::u16string_view extension) const {
    TextCacheKey key = TextCacheKeyOf(st, nativePath);
    key.type = ToUtf8(extension);
    // What recognition finds depends on its languages and settings: another key for another text.
    if (recognition_.on && (extension == u"pdf" || IsImageExtension(extension)))
        key.type += " " + RecognitionFingerprint(recognition_);
    // Only the Word reader lays out tables and tabs to a width.
    key.layoutWidth = extension == u"doc" ? layoutWidth_ : 0;
    return key;
}

bool CCatalog::readGuarded(FileRecord& record, const ReadContext& context,
                           std::vector<std::u16string>& logLines) {
    // A reader that throws (out of memory on a huge document, a library's own error) costs only
    // its document: it gets the empty text and a log line, and the run goes on.
    ReadContext logged = context;
    logged.logLines = &logLines;
    try {
        return readDocument(record, logged);
    } catch (const std::exception& e) {
        logLines.push_back(u"Can't read the document: " + FromUtf8(e.what()));
    } catch (...) {
        logLines.push_back(u"Can't read the document.");
    }
    record.text.clear();
    return false;
}

bool CCatalog::readOne(FileRecord& record, const ReadContext& context, ReaderHelper* helper,
                       std::vector<std::u16string>& logLines) {
    if (!readInHelper(record.extension))
        return readGuarded(record, context, logLines);
    if (!helper) {
        std::lock_guard lock(inProcessReaders_);
        ReadContext withLog = context;
        withLog.logLines = &logLines;
        return readGuarded(record, withLog, logLines);
    }
    ReadReply reply;
    std::string why;
    switch (helper->read(record, reply, stopPipe_[0], why, context.recognition, context.onPage)) {
    case ReaderHelper::Outcome::Read:
        record.text.assign(reply.text.begin(), reply.text.end());
        logLines = std::move(reply.logLines);
        return reply.status == ReadReply::Read;
    case ReaderHelper::Outcome::Failed:
        record.text.clear();
        logLines.push_back(u"The document could not be read: " + FromUtf8(why));
        logLines.insert(logLines.end(), reply.logLines.begin(), reply.logLines.end());
        return false;
    case ReaderHelper::Outcome::NotStarted:
    case ReaderHelper::Outcome::Stopped:
        record.text.clear();
        return false;
    }
    return false;
}

void CCatalog::readCached(int index, FileRecord& record, const ReadContext& context, ReaderHelper* helper,
                          std::vector<std::u16string>& logLines) {
    if (!textCache || !worthCaching(record.extension)) {
        readOne(record, context, helper, logLines);
        return;
    }
    const TextCacheKey& key = cacheKeys_[static_cast<std::size_t>(index)];
    if (std::optional<TextCache::Entry> cached = textCache->lookup(key)) {
        record.text = cached->text;
        logLines = std::move(cached->logLines);
        return;
    }
    if (!readOne(record, context, helper, logLines))
        return;
    // A file that changed while it was read may have given half old, half new text.
    struct stat after;
    const std::string name = record.fileName();
    if (::stat(name.c_str(), &after) == 0 && cacheKeyOf(after, name, record.extension) == key)
        textCache->store(key, record.text, logLines);
}

void CCatalog::commitText(int index, std::u16string_view text, std::u16string& foldBuffer) {
    CatalogRecord& record = records_[static_cast<std::size_t>(index)];
    record.text = CompactText::store(texts_, text, !narrowTexts);
    if (record.foldsAsRead())
        return;
    if (foldBuffer.size() < text.size())
        foldBuffer.resize(text.size());
    FoldUnitsInto(text.data(), text.size(), foldBuffer.data());
    record.foldedText = CompactText::store(texts_, std::u16string_view(foldBuffer).substr(0, text.size()), !narrowTexts);
}

void CCatalog::forgetVanishedFiles() {
    // Only a walk that saw the whole folder knows which files are gone.
    if (!textCache || walkStopped_ || walkCut_ || stopRequested_.load() || refusesFolder(folder))
        return;
    textCache->forgetMissing(ToUtf8(folder), std::move(seenFiles_));
    seenFiles_.clear();
}

// What the workers of one reading run share. Workers take documents in catalogue order; the
// reading thread commits them in that order, so the log and a stopped run's catalogue are
// the ones a single worker makes.
struct CCatalog::ReadingState {
    ReaderRun* readers = nullptr;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done;
    std::vector<std::vector<std::u16string>> logLines;
    // Each worker's share of its document's pages recognised so far, and how often one changed.
    std::vector<float> pageShare;
    int pageReports = 0;
    int doneCount = 0;
    int workersLeft = 0;
};

void CCatalog::readWorker(ReadingState& state, int worker) {
    const int n = count();
    std::unique_ptr<ReaderHelper> helper;
    if (state.readers)
        helper = std::make_unique<ReaderHelper>(readerExecutable, contentsPath_, readerLimits, state.readers);
    // The window's RTF converter serves one worker; the others use converters of their own.
    ReadContext context;
    context.contentsPath = contentsPath_;
    context.wordTempPath = tempFile_.path();
    context.rtf = worker == 0 ? rtf : nullptr;
    context.recognition = recognition_;
    context.onPage = [&state, worker](int done, int pages) {
        {
            std::lock_guard lock(state.mutex);
            state.pageShare[static_cast<std::size_t>(worker)] =
                pages > 0 ? static_cast<float>(std::min(done, pages)) / static_cast<float>(pages) : 0.0f;
            ++state.pageReports;
        }
        state.changed.notify_one();
    };
    // The worker's own buffers, grown to its largest document: the catalogue keeps only the
    // compact copy of each text.
    FileRecord reading;
    std::u16string foldBuffer;
    for (;;) {
        if (stopRequested_.load(std::memory_order_relaxed))
            break;
        const int i = state.next.fetch_add(1);
        if (i >= n)
            break;
        std::vector<std::u16string> lines;
        try {
            static_cast<FileInfo&>(reading) = records_[static_cast<std::size_t>(i)];
            reading.text.clear();
            readCached(i, reading, context, helper.get(), lines);
            commitText(i, reading.text, foldBuffer);
        } catch (const std::exception& e) {
            records_[static_cast<std::size_t>(i)].text = {};
            records_[static_cast<std::size_t>(i)].foldedText = {};
            lines.push_back(u"Can't read the document: " + FromUtf8(e.what()));
        }
        if (afterRead)
            afterRead(i, helper.get());
        // A document cut short by a stop was not read: it must not enter the catalogue.
        if (stopRequested_.load(std::memory_order_relaxed))
            break;
        {
            std::lock_guard lock(state.mutex);
            state.done[static_cast<std::size_t>(i)] = 1;
            state.logLines[static_cast<std::size_t>(i)] = std::move(lines);
            state.pageShare[static_cast<std::size_t>(worker)] = 0.0f;
            ++state.doneCount;
        }
        state.changed.notify_one();
    }
    helper.reset(); // ends the helper before the run reports its end
    {
        std::lock_guard lock(state.mutex);
        --state.workersLeft;
    }
    state.changed.notify_one();
}

void CCatalog::readAll() {
    const int n = count();
    if (n == 0)
        return;
    ReadingState state;
    state.done.assign(static_cast<std::size_t>(n), 0);
    state.logLines.resize(static_cast<std::size_t>(n));
    // A helper named but gone, or none beside the program: its documents are read here, and the
    // run says so.
    const bool missing =
        readerExecutable.empty() ? ReaderHelper::locate().empty() : !ReaderHelper::runnable(readerExecutable);
    if (missing && std::any_of(records_.begin(), records_.end(),
                               [](const CatalogRecord& r) { return readInHelper(r.extension); })) {
        readerMissing_ = true;
        log_.append(std::u16string(kNoReaderHelper));
    }
    std::optional<ReaderRun> readers;
    if (!readerExecutable.empty() && !missing) {
        readers.emplace();
        state.readers = &*readers;
        if (!readers->landlock())
            log_.append(std::u16string(kNoLandlock));
    }
    const int workers = std::min(workerCount(), n);
    state.workersLeft = workers;
    state.pageShare.assign(static_cast<std::size_t>(std::max(workers, 1)), 0.0f);
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    try {
        for (int w = 0; w < workers; ++w)
            threads.emplace_back([this, &state, w] { readWorker(state, w); });
    } catch (const std::system_error&) {
        // The system refused a thread: the run goes on with those it has, or on this one.
        std::lock_guard lock(state.mutex);
        state.workersLeft -= workers - static_cast<int>(threads.size());
    }
    if (threads.empty()) {
        state.workersLeft = 1;
        readWorker(state, 0);
    }

    const float step = 1.0f / static_cast<float>(n);
    int lastPercent = 0;
    int counted = 0;
    int committed = 0;
    int pageReportsSeen = 0;
    std::unique_lock lock(state.mutex);
    for (;;) {
        state.changed.wait(lock, [&] {
            return state.workersLeft == 0 || state.doneCount > counted || state.pageReports > pageReportsSeen ||
                   (committed < n && state.done[static_cast<std::size_t>(committed)]);
        });
        pageReportsSeen = state.pageReports;
        float pagesShare = 0.0f;
        for (float share : state.pageShare)
            pagesShare += share;
        // The log follows the catalogue's order: each document's path, then its reader's lines.
        std::vector<std::vector<std::u16string>> ready;
        const int from = committed;
        while (committed < n && state.done[static_cast<std::size_t>(committed)])
            ready.push_back(std::move(state.logLines[static_cast<std::size_t>(committed++)]));
        const int doneNow = state.doneCount;
        const bool last = committed == n || state.workersLeft == 0;
        lock.unlock();
        for (std::size_t k = 0; k < ready.size(); ++k) {
            log_.append(records_[static_cast<std::size_t>(from) + k].path);
            for (const std::u16string& line : ready[k])
                log_.append(line);
        }
        // The percentages of documents done, each as a single worker would post it, and only
        // when they grow. Single precision: in double, 29 of 100 documents gives 28%, in single
        // 29%, and the texts must not change with the build.
        for (; counted < doneNow; ++counted) {
            const int percent = static_cast<int>(static_cast<float>(counted + 1) * step * 100.0f);
            if (percent > lastPercent) {
                lastPercent = percent;
                postStatus(std::u16string(kReadingFiles) + u" " + NumberText(percent) + u"%");
            }
        }
        // Pages recognised count as parts of their documents, so a long recognition moves too.
        if (pagesShare > 0.0f) {
            const int percent = static_cast<int>((static_cast<float>(doneNow) + pagesShare) * step * 100.0f);
            if (percent > lastPercent && percent < 100) {
                lastPercent = percent;
                postStatus(std::u16string(kReadingFiles) + u" " + NumberText(percent) + u"%");
            }
        }
        lock.lock();
        // Workers that have all ended change nothing more, once what they finished is taken.
        if (last && (committed == n || !state.done[static_cast<std::size_t>(committed)]))
            break;
    }
    lock.unlock();
    for (std::thread& t : threads)
        t.join();
    // A stopped run keeps the documents whose texts were read, up to the first that was not.
    records_.resize(static_cast<std::size_t>(committed));
}

} // namespace tessarel
