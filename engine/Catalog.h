#pragma once
// The in-memory catalogue of one folder and the reading run that fills it on its own thread.

#include "engine/DocumentTypes.h"
#include "engine/LogFile.h"
#include "engine/ReaderHelper.h"
#include "engine/TextCache.h"
#include "extract/FileRecord.h"
#include "extract/ReadDocument.h"
#include "extract/TempTextFile.h"
#include "platform/EngineSink.h"
#include "platform/Notifier.h"
#include "platform/CompactText.h"
#include "platform/SettingsStore.h"
#include "platform/TextArena.h"
#include "platform/Worker.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace tessarel {

class RtfConverterControl;

// One catalogued document: its description and its text, kept in the catalogue's arena.
struct CatalogRecord : FileInfo {
    CompactText text;
    // What the case-blind search reads, as long as `text`: empty for a narrow text, which the
    // search folds as it reads it (foldsAsRead()).
    CompactText foldedText;

    bool foldsAsRead() const { return text.narrow() && NarrowFoldTable() != nullptr; }
};

// The type switches are the catalogue's own, set before start().
class CCatalog : public TypeSwitches {
public:
    // Documents a run catalogues when neither the caller nor the setting MaxDocuments says
    // otherwise, and the most either may ask for.
    static constexpr int kDefaultMaxDocuments = 10000;
    static constexpr int kMostDocuments = 1000000;
    static constexpr int kMaxEntriesPerFolder = 50000;
    static constexpr std::int64_t kMaxPdfSize = 16666666;
    static constexpr std::int64_t kMaxFileSize = 50000000;
    // The types whose result headers show the plain-text icon.
    static constexpr std::u16string_view textTypes =
        u" rtf txt c cpp h java jsp xml php properties pl plx log asm inc bat js ";

    // Reads ProgramDirectory for its log, which it empties.
    CCatalog(SettingsStore& settings, EngineSink& sink, Notifier& notifier);
    // Waits for a running reading run: a catalogue is never destroyed under its thread.
    ~CCatalog();

    // Parameters, set before start().
    std::u16string folder;
    RtfConverterControl* rtf = nullptr;
    // Reads one document's text in this process; tests put a failing reader here. Documents of the
    // types whose readers rest on third-party parsers go to helper processes instead, when there
    // is a helper executable. False: the file could not be opened or read (ReadDocument.h).
    std::function<bool(FileRecord&, const ReadContext&)> readDocument = ReadDocumentText;
    // The reader helper; empty: every document is read in this process.
    std::string readerExecutable = ReaderHelper::locate();
    ReaderLimits readerLimits;
    // Workers of the reading run; 0 takes the setting ReadingThreads (0 there: every hardware thread).
    int readingThreads = 0;
    // Documents the next run catalogues at most; 0 takes the setting MaxDocuments (0 there, or
    // none: kDefaultMaxDocuments). Bounded by kMostDocuments.
    int maxDocuments = 0;
    // Texts read before, looked up before a document is read and stored after; null: none. The
    // catalogue and the log are the same with and without it. Owned by the program.
    TextCache* textCache = nullptr;
    // False keeps every text in UTF-16 with a folded copy, as a text with a unit above 255 is
    // kept; tests compare the search of both kinds.
    bool narrowTexts = true;
    // Text recognition of scanned PDF pages and images: 1 on, 0 off, -1 the setting Ocr. The
    // languages: empty takes the setting OcrLanguages. The budgets in `recognitionBudgets` are a
    // run's (tests shorten them); its other fields are the run's to set.
    int ocr = -1;
    std::string ocrLanguages;
    RecognitionSettings recognitionBudgets;

    // Starts the reading run on the catalogue's thread; false when one is already running.
    bool start();
    bool isRunning() const { return worker_.isRunning(); }
    void waitForEnd() { worker_.waitForEnd(); }
    // Asks a running reading run to end early: the walk stops, and the catalogue keeps the
    // documents read so far. The run still posts its closing text and WM_READING_DONE.
    void requestStop();
    // The reading run itself, on the calling thread (the thread body; tests call it directly).
    void run();

    // Read access, valid once the run has ended.
    int count() const { return static_cast<int>(records_.size()); }
    const CatalogRecord& record(int index) const { return records_[static_cast<std::size_t>(index)]; }
    const std::string& contentsPath() const { return contentsPath_; }
    const std::string& wordTempPath() const { return tempFile_.path(); }
    // The last run read PDF and Office documents in this process for want of a reader helper.
    bool readerMissing() const { return readerMissing_; }
    // What the last run left unread for a limit (the document cap, a folder's entries), one
    // sentence each, as its log has them; empty when it read everything its types allow.
    const std::vector<std::u16string>& limitNotices() const { return limitNotices_; }

    // True for a folder the reading run refuses to walk: a whole drive, or no folder at all.
    static bool refusesFolder(std::u16string_view folder) { return folder.size() <= 4; }
    // True when a file of lower-cased extension e passes the type switches.
    bool typeEnabled(std::u16string_view e) const;
    // True for the types read in a helper process (when there is one).
    static bool readInHelper(std::u16string_view e);
    // True for the types whose texts go into the text cache.
    static bool worthCaching(std::u16string_view e);
    // The number of workers the next reading run uses.
    int workerCount() const;
    // The number of documents the next reading run catalogues at most.
    int documentLimit() const;
    // Called by each worker after it read a document, before the document is committed (a seam
    // for tests that stop a run or kill a helper at a chosen moment).
    std::function<void(int index, const ReaderHelper* helper)> afterRead;

private:
    void walk(const std::string& nativeFolder);
    void addFile(const std::string& nativePath, const struct stat& st);
    struct ReadingState;
    void readAll();
    void readWorker(ReadingState& state, int worker);
    // True when the text is the reader's answer for the file, and not the result of a passing
    // failure (a limit, a crash, a stop) that must not be kept in the text cache.
    bool readOne(FileRecord& record, const ReadContext& context, ReaderHelper* helper,
                 std::vector<std::u16string>& logLines);
    bool readGuarded(FileRecord& record, const ReadContext& context, std::vector<std::u16string>& logLines);
    void readCached(int index, FileRecord& record, const ReadContext& context, ReaderHelper* helper,
                    std::vector<std::u16string>& logLines);
    // Stores what a worker read as the text of record `index`.
    void commitText(int index, std::u16string_view text, std::u16string& foldBuffer);
    void forgetVanishedFiles();
    TextCacheKey cacheKeyOf(const struct stat& st, const std::string& nativePath,
                            std::u16string_view extension) const;
    void postStatus(const std::u16string& text);
    void settleRecognition();

    SettingsStore& settings_;
    EngineSink& sink_;
    Notifier& notifier_;
    CLogFile log_;
    // Holds the records' texts; declared before them, so that it outlives them.
    TextArena texts_;
    std::vector<CatalogRecord> records_;
    // The text cache's key of each record, when there is a cache.
    std::vector<TextCacheKey> cacheKeys_;
    // Every file the walk found, read or not (a type switched off, too large): the cache keeps
    // their rows.
    std::unordered_set<FileId, FileIdHash> seenFiles_;
    int layoutWidth_ = 0;
    // The run's recognition, as settled from the parameters and the installed languages.
    RecognitionSettings recognition_;
    std::string contentsPath_;
    TempTextFile tempFile_;
    bool walkStopped_ = false;
    // A folder's listing was cut at kMaxEntriesPerFolder: the walk did not see every file.
    bool walkCut_ = false;
    int documentLimit_ = kDefaultMaxDocuments;
    std::vector<std::u16string> limitNotices_;
    // The run found no reader helper where one belongs, and read its documents in this process.
    bool readerMissing_ = false;
    // The program's own contents folder (device, inode), which the walk never enters: its
    // temporary file holds the text of another document under another name.
    std::uint64_t contentsDevice_ = 0;
    std::uint64_t contentsInode_ = 0;
    std::atomic<bool> stopRequested_{false};
    // Readable once a stop was asked for, so a worker waiting for a helper hears of it at once.
    int stopPipe_[2] = {-1, -1};
    // The third-party readers are not safe on several threads of one process: without helpers
    // they take turns.
    std::mutex inProcessReaders_;
    Worker worker_;
};

} // namespace tessarel
