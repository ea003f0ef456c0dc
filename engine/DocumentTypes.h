#pragma once
// The document types a reading run can be told to read, in the order the settings store lists
// their switches: one table for the catalogue, the options, the window's hand-over and the
// command line.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace tessarel {

class SettingsStore;

// The text and source extensions the plain-text reader reads beyond the seventeen it always
// reads: the value of setting TextExtensions when the store has none.
inline constexpr std::u16string_view kTextExtensionsOfToday =
    u"md markdown rst tex py pyw sh bash zsh fish ps1 json jsonl yaml yml toml ini cfg conf csv tsv sql "
    u"css scss less ts tsx jsx mjs cjs vue svelte go rs rb kt kts swift cs fs scala lua r jl dart m mm "
    u"hpp hh cc cxx hxx ipp cmake gradle";

// One switch a type: 1 reads documents of the type, anything else leaves them out.
struct TypeSwitches {
    std::int32_t FilesText = 0;
    std::int32_t FilesRtf = 0;
    std::int32_t FilesDoc = 0;
    std::int32_t FilesPdf = 0;
    std::int32_t FilesDocx = 0;
    std::int32_t FilesXlsx = 0;
    std::int32_t FilesPptx = 0;
    std::int32_t FilesOdt = 0;
    std::int32_t FilesOds = 0;
    std::int32_t FilesOdp = 0;
    std::int32_t FilesEpub = 0;
    std::int32_t FilesMail = 0;
    // The further extensions of the text type, lower case, one blank between them.
    std::u16string TextExtensions = std::u16string(kTextExtensionsOfToday);
    // Read only while text recognition is on.
    std::int32_t FilesImages = 0;
};

struct DocumentType {
    std::int32_t TypeSwitches::*switchOf;
    // The switch's key in the settings store.
    const char* settingKey;
    // The type's name on the command line.
    const char* name;
    // Its lower-case extensions, each between spaces.
    std::u16string_view extensions;
    // The switch's value when the settings store has no key for it: the eight first types are
    // off in a profile that never named them, the later ones on, as the installer writes them.
    std::int32_t unsetValue = 0;
};

inline constexpr DocumentType kDocumentTypes[] = {
    {&TypeSwitches::FilesText, "FilesText", "text",
     u" txt html htm c cpp h java jsp xml php properties pl plx log asm inc bat js "},
    {&TypeSwitches::FilesRtf, "FilesRtf", "rtf", u" rtf "},
    {&TypeSwitches::FilesDoc, "FilesDoc", "doc", u" doc "},
    {&TypeSwitches::FilesPdf, "FilesPdf", "pdf", u" pdf "},
    {&TypeSwitches::FilesDocx, "FilesDocx", "docx", u" docx "},
    {&TypeSwitches::FilesXlsx, "FilesXlsx", "xlsx", u" xlsx "},
    {&TypeSwitches::FilesPptx, "FilesPptx", "pptx", u" pptx "},
    {&TypeSwitches::FilesOdt, "FilesOdt", "odt", u" odt "},
    {&TypeSwitches::FilesOds, "FilesOds", "ods", u" ods ", 1},
    {&TypeSwitches::FilesOdp, "FilesOdp", "odp", u" odp ", 1},
    {&TypeSwitches::FilesEpub, "FilesEpub", "epub", u" epub ", 1},
    {&TypeSwitches::FilesMail, "FilesMail", "mail", u" eml mbox ", 1},
    {&TypeSwitches::FilesImages, "FilesImages", "images", u" png jpg jpeg tif tiff ", 1},
};

inline constexpr std::size_t kDocumentTypeCount = std::size(kDocumentTypes);

// The type of a lower-case extension; null when no type has it. `textExtensions` (as
// TypeSwitches holds them) make further extensions text; another type's extension stays its own.
inline const DocumentType* DocumentTypeOf(std::u16string_view extension, std::u16string_view textExtensions = {}) {
    if (extension.empty() || extension.find(u' ') != std::u16string_view::npos)
        return nullptr;
    std::u16string padded = u" ";
    padded.append(extension);
    padded.push_back(u' ');
    for (const DocumentType& type : kDocumentTypes)
        if (type.extensions.find(padded) != std::u16string_view::npos)
            return &type;
    std::u16string listed = u" ";
    listed.append(textExtensions);
    listed.push_back(u' ');
    if (listed.find(padded) != std::u16string::npos)
        return &kDocumentTypes[0];
    return nullptr;
}

// A list of extensions as a person writes it ("MD, .py  yaml") as TypeSwitches holds it
// ("md py yaml"): ASCII letters lowered, a leading dot dropped, commas and white space between.
std::u16string NormalizedTextExtensions(std::u16string_view written);

// The switches and the text extensions as the settings store holds them.
void ReadTypeSwitches(SettingsStore& settings, TypeSwitches& switches);

} // namespace tessarel
