#include "extract/Recognition.h"

#include "platform/Text.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace tessarel {
namespace {

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsPlainName(std::string_view name) {
    return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
}

// The engine's start costs a fraction of a second (its models are loaded): a reading thread
// keeps one from document to document while the languages stay the same.
struct Engine {
    std::string languages;
    std::unique_ptr<tesseract::TessBaseAPI> api;
};

thread_local Engine t_engine;

tesseract::TessBaseAPI* EngineFor(const std::string& languages) {
    if (t_engine.api && t_engine.languages == languages)
        return t_engine.api.get();
    t_engine.api.reset();
    const std::string folder = RecognitionDataFolder();
    if (folder.empty() || languages.empty())
        return nullptr;
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(folder.c_str(), languages.c_str(), tesseract::OEM_DEFAULT) != 0)
        return nullptr;
    // Automatic layout analysis: scanned pages have columns, headings and captions in any order.
    api->SetPageSegMode(tesseract::PSM_AUTO);
    t_engine.languages = languages;
    t_engine.api = std::move(api);
    return t_engine.api.get();
}

} // namespace

std::string RecognitionDataFolder() {
    if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix && IsFolder(prefix))
        return prefix;
    for (const char* folder : {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata"})
        if (IsFolder(folder))
            return folder;
    return {};
}

std::vector<std::string> InstalledRecognitionLanguages() {
    std::vector<std::string> languages;
    const std::string folder = RecognitionDataFolder();
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir)
        return languages;
    constexpr std::string_view kSuffix = ".traineddata";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix)
            continue;
        const std::string_view language = name.substr(0, name.size() - kSuffix.size());
        if (language != "osd" && IsPlainName(language))
            languages.emplace_back(language);
    }
    ::closedir(dir);
    std::sort(languages.begin(), languages.end());
    return languages;
}

std::vector<std::string> RecognitionLanguageNames(std::string_view setting) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at <= setting.size()) {
        const std::size_t end = std::min(setting.find_first_of("+, ", at), setting.size());
        const std::string_view name = setting.substr(at, end - at);
        if (IsPlainName(name) && std::find(names.begin(), names.end(), name) == names.end())
            names.emplace_back(name);
        at = end + 1;
    }
    return names;
}

std::string InstalledLanguagesOf(std::string_view setting, std::vector<std::string>* missing) {
    const std::vector<std::string> installed = InstalledRecognitionLanguages();
    std::string languages;
    for (const std::string& language : RecognitionLanguageNames(setting)) {
        if (std::find(installed.begin(), installed.end(), language) == installed.end()) {
            if (missing)
                missing->push_back(language);
            continue;
        }
        if (!languages.empty())
            languages += "+";
        languages += language;
    }
    return languages;
}

std::string RecognitionFingerprint(const RecognitionSettings& settings) {
    if (!settings.on)
        return {};
    return "ocr " + settings.languages + " psm3 " + std::to_string(kRecognitionDpi) + "dpi " +
           std::to_string(settings.pageBudget.count()) + "/" + std::to_string(settings.documentBudget.count()) +
           "ms";
}

DocumentRecognition::DocumentRecognition(const RecognitionSettings& settings, std::function<void(int, int)> onPage,
                                         std::vector<std::u16string>* logLines)
    : settings_(settings), onPage_(std::move(onPage)), logLines_(logLines),
      start_(std::chrono::steady_clock::now()) {
    // The image library's complaints about a damaged file only repeat what its result says.
    setMsgSeverity(L_SEVERITY_NONE);
    ready_ = settings_.on && EngineFor(settings_.languages) != nullptr;
}

DocumentRecognition::~DocumentRecognition() {
    if (logLines_ && read_ < done_)
        logLines_->push_back(u"Text recognition: " + NumberText(read_) + u" of " + NumberText(done_) +
                             u" pages read; the others passed the time budget or could not be decoded.");
}

bool DocumentRecognition::budgetLeft() const {
    return std::chrono::steady_clock::now() - start_ < settings_.documentBudget;
}

void DocumentRecognition::pageDone(bool read) {
    ++done_;
    if (read)
        ++read_;
    if (onPage_)
        onPage_(done_, std::max(pages_, done_));
}

bool DocumentRecognition::recognize(Pix* page, std::string& utf8) {
    if (!ready_ || !page || !budgetLeft()) {
        pageDone(false);
        return false;
    }
    tesseract::TessBaseAPI& api = *t_engine.api;
    api.SetImage(page);
    // An image that says nothing of its resolution is taken as a scan at the usual one.
    if (pixGetXRes(page) <= 0)
        api.SetSourceResolution(kRecognitionDpi);
    return recognizeSet(utf8);
}

bool DocumentRecognition::recognize(const unsigned char* grey, int width, int height, int bytesPerLine, int dpi,
                                    std::string& utf8) {
    if (!ready_ || !grey || width <= 0 || height <= 0 || !budgetLeft()) {
        pageDone(false);
        return false;
    }
    tesseract::TessBaseAPI& api = *t_engine.api;
    api.SetImage(grey, width, height, 1, bytesPerLine);
    api.SetSourceResolution(dpi);
    return recognizeSet(utf8);
}

bool DocumentRecognition::recognizeSet(std::string& utf8) {
    tesseract::TessBaseAPI& api = *t_engine.api;
    const auto left = settings_.documentBudget - (std::chrono::steady_clock::now() - start_);
    const auto budget = std::min<std::chrono::milliseconds>(
        settings_.pageBudget, std::chrono::duration_cast<std::chrono::milliseconds>(left));
    tesseract::ETEXT_DESC monitor;
    monitor.set_deadline_msecs(static_cast<std::int32_t>(std::max<long long>(1, budget.count())));
    const bool finished = api.Recognize(&monitor) == 0 && !monitor.deadline_exceeded();
    if (finished) {
        const std::unique_ptr<char[]> text(api.GetUTF8Text());
        if (text)
            utf8.append(text.get());
    }
    api.Clear();
    pageDone(finished);
    return finished;
}

} // namespace tessarel
