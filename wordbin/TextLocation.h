#pragma once
// Recognises a Word binary document, reads its header and finds where its text lies.

#include "wordbin/Document.h"

#include <string>

namespace tessarel::wordbin {

enum class DocumentKind { WordForDos, WordForWindows12, Macintosh45, Word6OrLater, Unknown };

// Unknown kinds get their message here.
DocumentKind Classify(const SourceFile& file, const std::string& path);

// Fills the document's header values, text lists and formatting; false (after its message) when
// the text can't be located.
bool Locate(Document& document, DocumentKind kind);

} // namespace tessarel::wordbin
