#include "wordbin/Convert.h"
#include "platform/File.h"

#include "wordbin/Document.h"
#include "wordbin/Report.h"
#include "wordbin/TextLocation.h"
#include "wordbin/TextWalk.h"

#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

namespace tessarel::wordbin {
namespace {

void ConvertInto(const std::string& sourcePath, int sourceFd, Document& document,
                 const ConversionSettings& settings, std::string& output) {
    if (!document.source.open(sourcePath, sourceFd))
        return;
    const DocumentKind kind = Classify(document.source, sourcePath);
    if (kind == DocumentKind::Unknown || !Locate(document, kind))
        return;
    TextWalk(document, settings, output).run();
}

void ReportAllocationFailure() {
    try {
        Report(Status::Fatal, "Memory allocation failed, unable to continue");
    } catch (const ConversionAbandoned&) {
    }
}

} // namespace

void Convert(const std::string& sourcePath, const std::string& targetPath, int sourceFd) {
    UniqueFile target = CreateForWriting(targetPath);
    if (!target)
        return;
    const ConversionSettings settings = CurrentSettings();
    std::string output;
    try {
        // The document and every list built for it die with this scope, whatever the outcome.
        auto document = std::make_unique<Document>();
        ConvertInto(sourcePath, sourceFd, *document, settings, output);
    } catch (const ConversionAbandoned&) {
        // Fatal: the text written so far is all the document yields.
    } catch (const std::bad_alloc&) {
        ReportAllocationFailure();
    } catch (const std::length_error&) {
        ReportAllocationFailure();
    }
    if (!output.empty())
        std::fwrite(output.data(), 1, output.size(), target.get());
}

} // namespace tessarel::wordbin
