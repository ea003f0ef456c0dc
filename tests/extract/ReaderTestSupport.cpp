#include "tests/extract/ReaderTestSupport.h"

#include "extract/ReadDocument.h"
#include "platform/Text.h"

#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tessarel::test {

ContentsFolder::ContentsFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessarel-extract-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    context_.contentsPath = folder_ + "/";
    context_.wordTempPath = context_.contentsPath + "wts.txt";
}

ContentsFolder::~ContentsFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

FileRecord RecordFor(const std::string& path) {
    FileRecord record;
    record.path = FromUtf8(path);
    record.nativePath = path;
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos)
        record.extension = Folded(FromUtf8(path.substr(dot + 1)));
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    record.size = error ? 0 : static_cast<std::int64_t>(size);
    return record;
}

std::string CorpusPath(const std::string& relative) {
    return std::string(TESSAREL_TEST_DATA) + "/corpus/" + relative;
}

std::u16string ReadText(const std::string& path, const ReadContext& context) {
    FileRecord record = RecordFor(path);
    ReadDocumentText(record, context);
    return std::u16string(record.text);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        throw std::runtime_error("zipOpen failed");
    for (const auto& [name, content] : members) {
        zip_fileinfo info{};
        zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, 1);
        zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
}

RawMember Deflated(const std::string& name, const std::string& content) {
    RawMember member;
    member.name = name;
    member.size = content.size();
    member.crc = crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size()));
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    member.deflated.resize(deflateBound(&stream, content.size()));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(member.deflated.data());
    stream.avail_out = static_cast<uInt>(member.deflated.size());
    deflate(&stream, Z_FINISH);
    member.deflated.resize(stream.total_out);
    deflateEnd(&stream);
    return member;
}

void WriteRawZip(const std::string& path, const std::vector<RawMember>& members) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        throw std::runtime_error("zipOpen failed");
    for (const RawMember& member : members) {
        zip_fileinfo info{};
        zipOpenNewFileInZip2(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                             Z_DEFAULT_COMPRESSION, 1);
        zipWriteInFileInZip(zip, member.deflated.data(), static_cast<unsigned>(member.deflated.size()));
        zipCloseFileInZipRaw(zip, member.size, member.crc);
    }
    zipClose(zip, nullptr);
}

} // namespace tessarel::test
