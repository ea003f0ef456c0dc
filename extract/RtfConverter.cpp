#include "extract/RtfConverter.h"

#include "extract/CodePage.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tessarel {
namespace {

// Deeper groups still nest correctly: they share the state of the deepest one kept, and keep only
// what they change (up to as many changes again), to put back when they close.
constexpr std::size_t kMaxGroupDepth = 1000;
constexpr std::size_t kMaxFonts = 4096;
constexpr std::size_t kMaxControlWord = 32;

enum class Destination : std::uint8_t { Text, Skip, FontTable };

// The code page of a group that has named no font yet: the one of the document's default font.
constexpr int kDefaultFont = -1;

struct GroupState {
    Destination destination = Destination::Text;
    bool hidden = false;
    int fallbackLength = 1;      // \ucN: how many characters stand in for each \uN
    int codePage = kDefaultFont; // of the current font; 0 = the document's
};

// Groups whose content is never shown: tables of the document, pictures and object data, page
// headers and footers, field instructions, shape properties, bookmarks and index entries.
bool IsSkippedDestination(std::string_view word) {
    static constexpr std::string_view kSkipped[] = {
        "colortbl",   "stylesheet",   "info",      "pict",     "objdata",   "objclass",
        "header",     "headerl",      "headerr",   "headerf",  "footer",    "footerl",
        "footerr",    "footerf",      "fldinst",   "filetbl",  "listtable", "listoverridetable",
        "revtbl",     "rsidtbl",      "generator", "xmlnstbl", "themedata", "colorschememapping",
        "datastore",  "latentstyles", "pgdsctbl",  "sp",       "sn",        "sv",
        "nonshppict", "bkmkstart",    "bkmkend",   "template", "docvar",    "userprops",
        "xe",         "tc",           "ftnsep",    "ftnsepc",  "aftnsep",   "aftnsepc",
        "annotation", "atnid",        "atnauthor", "atndate",  "fontemb",   "fontfile",
        "pn",         "panose",       "falt",      "blipuid",  "mmathPr",   "passwordhash",
    };
    return std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped);
}

// Control words that stand for one character.
char16_t SymbolOf(std::string_view word) {
    struct Symbol {
        std::string_view word;
        char16_t unit;
    };
    static constexpr Symbol kSymbols[] = {
        {"tab", u'\t'},        {"cell", u'\t'},     {"nestcell", u'\t'}, {"emdash", 0x2014},
        {"endash", 0x2013},    {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},
        {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"zwj", 0x200D},     {"zwnj", 0x200C},    {"ltrmark", 0x200E},
        {"rtlmark", 0x200F},   {"zwbo", 0x200B},
    };
    for (const Symbol& s : kSymbols)
        if (s.word == word)
            return s.unit;
    return 0;
}

bool IsLineBreak(std::string_view word) {
    return word == "par" || word == "line" || word == "row" || word == "nestrow" || word == "sect" ||
           word == "page";
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

class Converter {
public:
    explicit Converter(std::string_view rtf) : rtf_(rtf), capacity_(rtf.size() + 1024) {}

    std::u16string run();

private:
    void openGroup();
    void closeGroup();
    void controlWord(std::string_view word, bool hasParameter, long parameter);
    // The kinds of control word, in the order they are tried: each says whether it took the word.
    bool destinationWord(std::string_view word, bool atGroupStart);
    void fontTableWord(std::string_view word, bool hasParameter, long parameter);
    bool documentWord(std::string_view word, bool hasParameter, long parameter);
    bool formattingWord(std::string_view word, bool hasParameter, long parameter);
    void textWord(std::string_view word, bool hasParameter, long parameter);
    void controlSymbol(char symbol);
    void textByte(char byte);
    void emit(std::u16string_view piece);
    void emitUnit(char16_t unit) { emit(std::u16string_view(&unit, 1)); }
    void flushBytes();
    // The current group is a destination whose content is left out.
    void skipDestination();
    // The state to change; beyond the kept depth its old value is saved first. Null when there is
    // no room to save it: the change is then left out rather than outlive its group.
    GroupState* changeState();
    // A character that may be the fallback of the last \uN, which is then dropped.
    bool consumedByFallback();
    int effectiveCodePage() const;

    GroupState& state() { return stack_.back(); }

    std::string_view rtf_;
    std::size_t pos_ = 0;
    std::size_t capacity_;
    std::u16string text_;
    std::vector<GroupState> stack_;
    std::size_t overflowDepth_ = 0;
    // States that groups beyond the kept depth changed, with the depth that changed them.
    std::vector<std::pair<std::size_t, GroupState>> overflowSaved_;
    // The depth beyond the kept ones at which a skipped destination began; 0 for none.
    std::size_t overflowSkipDepth_ = 0;
    bool groupStart_ = false;
    bool ignorable_ = false;
    bool done_ = false;
    int fallbackLeft_ = 0;
    int documentCodePage_ = 1252;
    int defaultFont_ = -1;
    int fontBeingDefined_ = -1;
    std::unordered_map<int, int> fontCodePages_;
    std::string pendingBytes_;
    int pendingCodePage_ = 0;
    CodePageDecoder decoder_;
    std::u16string decoded_;
};

std::u16string Converter::run() {
    std::size_t start = 0;
    if (rtf_.substr(0, 3) == "\xEF\xBB\xBF")
        start = 3;
    if (rtf_.substr(start, 5) != "{\\rtf")
        return {};
    pos_ = start;
    text_.reserve(std::min<std::size_t>(capacity_, rtf_.size() + 16));
    while (pos_ < rtf_.size() && !done_) {
        const char c = rtf_[pos_++];
        switch (c) {
        case '{':
            openGroup();
            break;
        case '}':
            closeGroup();
            break;
        case '\\': {
            if (pos_ >= rtf_.size())
                break;
            const char next = rtf_[pos_];
            if (!IsLetter(next)) {
                ++pos_;
                controlSymbol(next);
                break;
            }
            const std::size_t wordStart = pos_;
            while (pos_ < rtf_.size() && IsLetter(rtf_[pos_]))
                ++pos_;
            const std::string_view word = rtf_.substr(wordStart, std::min(pos_ - wordStart, kMaxControlWord));
            bool hasParameter = false;
            bool negative = false;
            long parameter = 0;
            if (pos_ < rtf_.size() && rtf_[pos_] == '-' && pos_ + 1 < rtf_.size() &&
                IsDigit(rtf_[pos_ + 1])) {
                negative = true;
                ++pos_;
            }
            while (pos_ < rtf_.size() && IsDigit(rtf_[pos_])) {
                hasParameter = true;
                if (parameter < 100'000'000)
                    parameter = parameter * 10 + (rtf_[pos_] - '0');
                ++pos_;
            }
            if (negative)
                parameter = -parameter;
            // One space ends a control word and belongs to it.
            if (pos_ < rtf_.size() && rtf_[pos_] == ' ')
                ++pos_;
            controlWord(word, hasParameter, parameter);
            break;
        }
        case '\r':
        case '\n':
            break;
        default:
            textByte(c);
            break;
        }
    }
    flushBytes();
    return std::move(text_);
}

void Converter::openGroup() {
    flushBytes();
    fallbackLeft_ = 0;
    groupStart_ = true;
    ignorable_ = false;
    if (stack_.size() >= kMaxGroupDepth) {
        ++overflowDepth_;
        return;
    }
    stack_.push_back(stack_.empty() ? GroupState{} : stack_.back());
}

void Converter::closeGroup() {
    flushBytes();
    fallbackLeft_ = 0;
    groupStart_ = false;
    if (overflowDepth_ > 0) {
        if (!overflowSaved_.empty() && overflowSaved_.back().first == overflowDepth_) {
            stack_.back() = overflowSaved_.back().second;
            overflowSaved_.pop_back();
        }
        if (overflowSkipDepth_ == overflowDepth_)
            overflowSkipDepth_ = 0;
        --overflowDepth_;
        return;
    }
    if (!stack_.empty())
        stack_.pop_back();
    // The document ends with its outermost group; what follows is not part of it.
    if (stack_.empty())
        done_ = true;
}

void Converter::skipDestination() {
    // Beyond the kept depth the whole group is left out by its depth, which needs no saved state.
    if (overflowDepth_ > 0) {
        if (!overflowSkipDepth_)
            overflowSkipDepth_ = overflowDepth_;
        return;
    }
    state().destination = Destination::Skip;
}

GroupState* Converter::changeState() {
    if (stack_.empty())
        return nullptr;
    if (overflowDepth_ == 0 || (!overflowSaved_.empty() && overflowSaved_.back().first == overflowDepth_))
        return &stack_.back();
    if (overflowSaved_.size() >= kMaxGroupDepth)
        return nullptr;
    overflowSaved_.emplace_back(overflowDepth_, stack_.back());
    return &stack_.back();
}

int Converter::effectiveCodePage() const {
    int page = stack_.empty() ? 0 : stack_.back().codePage;
    if (page == kDefaultFont) {
        // The font table comes after \deff, so the default font's page is looked up as text comes.
        const auto font = fontCodePages_.find(defaultFont_);
        page = font != fontCodePages_.end() ? font->second : 0;
    }
    return page ? page : documentCodePage_;
}

bool Converter::consumedByFallback() {
    if (fallbackLeft_ <= 0)
        return false;
    --fallbackLeft_;
    return true;
}

void Converter::emit(std::u16string_view piece) {
    // A piece goes in only whole, and only while there is room for it and the terminator.
    if (text_.size() + piece.size() < capacity_)
        text_.append(piece);
}

void Converter::flushBytes() {
    if (pendingBytes_.empty())
        return;
    decoded_.clear();
    decoder_.decode(pendingCodePage_, pendingBytes_, decoded_);
    pendingBytes_.clear();
    for (char16_t unit : decoded_)
        emitUnit(unit);
}

void Converter::textByte(char byte) {
    groupStart_ = false;
    ignorable_ = false;
    if (stack_.empty() || overflowSkipDepth_ || consumedByFallback())
        return;
    const GroupState& s = state();
    // A NUL would end the text early wherever it is read as a C string.
    if (s.destination != Destination::Text || s.hidden || byte == '\0')
        return;
    const int page = effectiveCodePage();
    if (!pendingBytes_.empty() && page != pendingCodePage_)
        flushBytes();
    pendingCodePage_ = page;
    pendingBytes_.push_back(byte);
}

void Converter::controlSymbol(char symbol) {
    if (symbol == '*') {
        // Marks a destination to leave out when not understood; none of those is shown.
        if (groupStart_)
            ignorable_ = true;
        return;
    }
    if (symbol == '\'') {
        // A byte in the current code page; the two hex digits are its whole spelling.
        int value = -1;
        if (pos_ + 1 < rtf_.size() && HexDigitValue(rtf_[pos_]) >= 0 && HexDigitValue(rtf_[pos_ + 1]) >= 0) {
            value = HexDigitValue(rtf_[pos_]) * 16 + HexDigitValue(rtf_[pos_ + 1]);
            pos_ += 2;
        }
        if (value >= 0)
            textByte(static_cast<char>(value));
        return;
    }
    if (symbol == '\\' || symbol == '{' || symbol == '}') {
        textByte(symbol);
        return;
    }
    groupStart_ = false;
    if (ignorable_ && !stack_.empty()) {
        ignorable_ = false;
        skipDestination();
    }
    flushBytes();
    if (stack_.empty() || overflowSkipDepth_ || consumedByFallback())
        return;
    const GroupState& s = state();
    if (s.destination != Destination::Text || s.hidden)
        return;
    switch (symbol) {
    case '~':
        emitUnit(0x00A0);
        break;
    case '_':
        emitUnit(0x2011);
        break;
    case '\r':
    case '\n':
        emit(u"\r\n");
        break;
    default:
        // "\-" (optional hyphen), "\|", "\:" and unknown symbols show nothing.
        break;
    }
}

void Converter::controlWord(std::string_view word, bool hasParameter, long parameter) {
    flushBytes();
    if (stack_.empty())
        return;
    const bool atGroupStart = groupStart_;
    groupStart_ = false;
    if (word == "bin") {
        // Raw bytes follow; they may hold anything, braces included.
        const std::size_t length = parameter > 0 ? static_cast<std::size_t>(parameter) : 0;
        pos_ += std::min(length, rtf_.size() - pos_);
        consumedByFallback();
        return;
    }
    if (state().destination == Destination::Skip || overflowSkipDepth_)
        return;
    if (destinationWord(word, atGroupStart))
        return;
    if (state().destination == Destination::FontTable) {
        fontTableWord(word, hasParameter, parameter);
        return;
    }
    if (documentWord(word, hasParameter, parameter) || formattingWord(word, hasParameter, parameter))
        return;
    textWord(word, hasParameter, parameter);
}

bool Converter::destinationWord(std::string_view word, bool atGroupStart) {
    if (atGroupStart && ignorable_) {
        // No destination marked as ignorable carries text that is shown.
        ignorable_ = false;
        skipDestination();
        return true;
    }
    ignorable_ = false;
    if (atGroupStart && word == "fonttbl") {
        // A font table as deep as that is no document's: it is left out.
        if (overflowDepth_ > 0)
            skipDestination();
        else
            state().destination = Destination::FontTable;
        return true;
    }
    if (atGroupStart && IsSkippedDestination(word)) {
        skipDestination();
        return true;
    }
    return false;
}

void Converter::fontTableWord(std::string_view word, bool hasParameter, long parameter) {
    if (word == "f" && hasParameter) {
        fontBeingDefined_ = static_cast<int>(parameter);
        if (fontCodePages_.size() < kMaxFonts)
            fontCodePages_.emplace(fontBeingDefined_, 0);
    } else if ((word == "fcharset" || word == "cpg") && fontBeingDefined_ >= 0) {
        const auto font = fontCodePages_.find(fontBeingDefined_);
        if (font != fontCodePages_.end()) {
            const int page = word == "cpg" ? static_cast<int>(parameter)
                                           : CodePageDecoder::charsetCodePage(static_cast<int>(parameter));
            if (page)
                font->second = page;
        }
    }
}

bool Converter::documentWord(std::string_view word, bool hasParameter, long parameter) {
    // The character sets a document can declare, each with the code page that reads it.
    struct CharacterSet {
        std::string_view word;
        int codePage;
    };
    static constexpr CharacterSet kCharacterSets[] = {
        {"ansi", 1252}, {"mac", 10000}, {"pc", 437}, {"pca", 850}};
    if (word == "ansicpg" && hasParameter && parameter > 0) {
        documentCodePage_ = static_cast<int>(parameter);
        return true;
    }
    for (const CharacterSet& set : kCharacterSets) {
        if (word == set.word) {
            documentCodePage_ = set.codePage;
            return true;
        }
    }
    if (word == "deff" && hasParameter) {
        defaultFont_ = static_cast<int>(parameter);
        return true;
    }
    return false;
}

bool Converter::formattingWord(std::string_view word, bool hasParameter, long parameter) {
    if (word == "uc") {
        if (GroupState* changed = changeState())
            changed->fallbackLength = static_cast<int>(std::clamp(parameter, 0L, 16L));
        return true;
    }
    if (word == "v") {
        if (GroupState* changed = changeState())
            changed->hidden = !hasParameter || parameter != 0;
        return true;
    }
    if (word == "f" && hasParameter) {
        const auto font = fontCodePages_.find(static_cast<int>(parameter));
        if (GroupState* changed = changeState())
            changed->codePage = font != fontCodePages_.end() ? font->second : 0;
        return true;
    }
    if (word == "plain") {
        if (GroupState* changed = changeState()) {
            changed->hidden = false;
            changed->codePage = kDefaultFont;
        }
        return true;
    }
    return false;
}

void Converter::textWord(std::string_view word, bool hasParameter, long parameter) {
    const GroupState& s = state();
    if (word == "u") {
        if (!hasParameter || consumedByFallback())
            return;
        long value = std::clamp(parameter, -32768L, 65535L);
        if (value < 0)
            value += 65536;
        if (!s.hidden && value != 0)
            emitUnit(static_cast<char16_t>(value));
        fallbackLeft_ = s.fallbackLength;
        return;
    }
    if (consumedByFallback() || s.hidden)
        return;
    if (IsLineBreak(word)) {
        emit(u"\r\n");
        return;
    }
    if (const char16_t unit = SymbolOf(word))
        emitUnit(unit);
}

} // namespace

std::u16string RtfConverterControl::convert(std::string_view rtf) {
    return Converter(rtf).run();
}

} // namespace tessarel
