#pragma once
// The "Show the text" page: a document's extracted text with the hit's fragment set off and
// anchored as "point1".

#include "engine/Catalog.h"
#include "engine/Query.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessarel {

struct ShowLink {
    int index = 0;
    long long start = 0;
    long long length = 0;
};

inline constexpr std::size_t kTextPageWindow = 500000;

// Parses "show#I#startS#lengthL" beginning at `at` (the position of "show#"); nothing when the
// markers are missing.
std::optional<ShowLink> ParseShowLink(std::u16string_view link, std::size_t at = 0);
// The page content for a link; nothing when the index names no document of the catalogue.
std::optional<std::u16string> BuildTextPage(const CCatalog& catalog, const ShowLink& link, const Query& query);

} // namespace tessarel
