#pragma once
// The document types a reading run can be told to read, in the order the settings store
// lists their switches: one table for the catalogue, the options, the window's hand-over and the
// command line.

#include <cstdint>
#include <string>
#include <string_view>

namespace tessarel {

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
    {&TypeSwitches::FilesImages, "FilesImages", "images", u" png jpg jpeg tif tiff "},
};

// The type of a lower-case extension; null when no type has it.
inline const DocumentType* DocumentTypeOf(std::u16string_view extension) {
    if (extension.empty() || extension.find(u' ') != std::u16string_view::npos)
        return nullptr;
    std::u16string padded = u" ";
    padded.append(extension);
    padded.push_back(u' ');
    for (const DocumentType& type : kDocumentTypes)
        if (type.extensions.find(padded) != std::u16string_view::npos)
            return &type;
    return nullptr;
}

} // namespace tessarel
