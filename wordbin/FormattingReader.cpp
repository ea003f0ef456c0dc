#include "wordbin/FormattingReader.h"
namespace tessarel::wordbin {
void ReadFormatting(Document& document, const RangeReader&, const RangeReader&) { document.formatting.Finish(); }
}
