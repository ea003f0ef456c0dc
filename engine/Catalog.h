#pragma once
// The in-memory catalogue of one folder and the reading run that fills it on its own thread.

#include "engine/FileRecord.h"
#include "engine/LogFile.h"
#include "extract/TempTextFile.h"
#include "platform/EngineSink.h"
#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "platform/Worker.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessarel {

class RtfConverterControl;

class CCatalog {
public:
    static constexpr int kMaxRecords = 10000;
    static constexpr int kMaxEntriesPerFolder = 50000;
    static constexpr std::int64_t kMaxPdfSize = 16666666;
    static constexpr std::int64_t kMaxFileSize = 50000000;
    static constexpr std::u16string_view allTypes =
        u" pdf doc docx xlsx pptx odt rtf txt html htm c cpp h java jsp xml php properties pl plx log asm inc bat js ";
    static constexpr std::u16string_view textTypes =
        u" rtf txt c cpp h java jsp xml php properties pl plx log asm inc bat js ";

    // Reads ProgramDirectory for its log, which it empties.
    CCatalog(SettingsStore& settings, EngineSink& sink, Notifier& notifier);
    // Waits for a running reading run: a catalogue is never destroyed under its thread.
    ~CCatalog();

    // Parameters, set before start().
    std::u16string folder;
    RtfConverterControl* rtf = nullptr;
    std::int32_t FilesText = 0;
    std::int32_t FilesRtf = 0;
    std::int32_t FilesDoc = 0;
    std::int32_t FilesPdf = 0;
    std::int32_t FilesDocx = 0;
    std::int32_t FilesXlsx = 0;
    std::int32_t FilesPptx = 0;
    std::int32_t FilesOdt = 0;

    // Starts the reading run on the catalogue's thread; false when one is already running.
    bool start();
    bool isRunning() const { return worker_.isRunning(); }
    void waitForEnd() { worker_.waitForEnd(); }
    // Asks a running reading run to end early: the walk stops, and the catalogue keeps the
    // documents read so far. The run still posts its closing text and WM_READING_DONE.
    void requestStop() { stopRequested_.store(true); }
    // The reading run itself, on the calling thread (the thread body; tests call it directly).
    int run();

    // Read access, valid once the run has ended.
    int count() const { return static_cast<int>(records_.size()); }
    const FileRecord& record(int index) const { return records_[static_cast<std::size_t>(index)]; }
    const std::string& contentsPath() const { return contentsPath_; }
    const std::string& wordTempPath() const { return tempFile_.path(); }

    // True when a file of lower-cased extension e passes the type switches.
    bool typeEnabled(std::u16string_view e) const;

private:
    void walk(const std::string& nativeFolder);
    void addFile(const std::string& nativePath, std::int64_t size, std::int64_t modified);
    void readAll();
    void postStatus(const std::u16string& text);

    SettingsStore& settings_;
    EngineSink& sink_;
    Notifier& notifier_;
    CLogFile log_;
    std::vector<FileRecord> records_;
    std::string contentsPath_;
    TempTextFile tempFile_;
    bool walkStopped_ = false;
    std::atomic<bool> stopRequested_{false};
    Worker worker_;
};

} // namespace tessarel
