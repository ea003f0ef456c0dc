#include "extract/ZipArchive.h"
#include "platform/File.h"

#include "extract/TempTextFile.h"

#include <ioapi.h>
#include <unzip.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace tessarel {
namespace {

// A central directory can't name more members than its bytes can hold; this bounds the listing
// of a damaged one all the same.
constexpr std::uint64_t kMaxMembers = 1'000'000;
constexpr std::size_t kChunk = 64 * 1024;

unzFile Handle(void* handle) {
    return static_cast<unzFile>(handle);
}

// The library's own stdio functions, but the stream comes from the archive's descriptor.
voidpf OpenByDescriptor(voidpf opaque, const void*, int) {
    return OpenForReading({}, *static_cast<const int*>(opaque)).release();
}

} // namespace

ZipArchive::ZipArchive(const std::string& path, int fd) {
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    if (fd >= 0) {
        functions.zopen64_file = OpenByDescriptor;
        functions.opaque = &fd;
    }
    unzFile zip = unzOpen2_64(path.c_str(), &functions);
    if (!zip)
        return;
    handle_ = zip;
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(zip, &info) != UNZ_OK)
        return;
    std::string name(65536, '\0');
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK && members_.size() < kMaxMembers) {
        unz_file_info64 file{};
        if (unzGetCurrentFileInfo64(zip, &file, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        unz64_file_pos position{};
        if (unzGetFilePos64(zip, &position) != UNZ_OK)
            break;
        Member member;
        // A name stops at its first NUL, as the library hands it over.
        member.name.assign(name.data(), std::min<std::size_t>(file.size_filename, name.size() - 1));
        member.name.resize(std::min(member.name.size(), member.name.find('\0')));
        member.position = position.pos_in_zip_directory;
        member.entry = position.num_of_file;
        members_.push_back(std::move(member));
        status = unzGoToNextFile(zip);
    }
}

ZipArchive::~ZipArchive() {
    if (handle_)
        unzClose(Handle(handle_));
}

int ZipArchive::findMember(const std::string& name) const {
    for (std::size_t i = 0; i < members_.size(); ++i)
        if (members_[i].name == name)
            return static_cast<int>(i);
    return -1;
}

bool ZipArchive::extractMember(int index, const std::string& targetPath, std::uint64_t cap,
                               std::uint64_t* writtenOut) {
    if (writtenOut)
        *writtenOut = 0;
    if (!handle_ || index < 0 || index >= memberCount() || targetPath.empty())
        return false;
    unzFile zip = Handle(handle_);
    const Member& member = members_[static_cast<std::size_t>(index)];
    UniqueFile out = CreateForWriting(targetPath);
    if (!out)
        return false;
    unz64_file_pos position{member.position, member.entry};
    if (unzGoToFilePos64(zip, &position) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK)
        return false;

    std::vector<char> chunk(kChunk);
    std::uint64_t written = 0;
    bool ok = true;
    bool cut = false;
    while (written < cap) {
        const std::uint64_t want = std::min<std::uint64_t>(kChunk, cap - written);
        const int got = unzReadCurrentFile(zip, chunk.data(), static_cast<unsigned>(want));
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (std::fwrite(chunk.data(), 1, static_cast<std::size_t>(got), out.get()) !=
            static_cast<std::size_t>(got)) {
            ok = false;
            break;
        }
        written += static_cast<std::uint64_t>(got);
    }
    if (ok && written >= cap)
        cut = true;
    // A member that inflated to its end is kept whatever its checksum says: only one that fails
    // to inflate gives nothing. The checksum is only known once the whole member was read, so a
    // cut member keeps its prefix as well.
    const int closed = unzCloseCurrentFile(zip);
    if (!cut && closed != UNZ_OK && closed != UNZ_CRCERROR)
        ok = false;
    if (std::fclose(out.release()) != 0)
        ok = false;
    if (!ok)
        TruncateFile(targetPath);
    if (writtenOut)
        *writtenOut = written;
    return ok;
}

} // namespace tessarel
