#pragma once
// The few archive operations the OOXML and OpenDocument readers need, over the zip library:
// open by path, the members in central-directory order, extract one member to a file, close.

#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {

class ZipArchive {
public:
    // Opens the archive (by `fd` when it is an open descriptor of it); one that can't be opened
    // has no members and extracts nothing.
    explicit ZipArchive(const std::string& path, int fd = -1);
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    ~ZipArchive();

    int memberCount() const { return static_cast<int>(members_.size()); }
    // The member's name as stored (UTF-8 or the archive's own code page), "/" as separator.
    const std::string& memberName(int index) const { return members_[static_cast<std::size_t>(index)].name; }
    // Index of the first member with this name, or -1.
    int findMember(const std::string& name) const;

    // Replaces the content of targetPath with the member's inflated bytes, at most `cap` of them:
    // a member that inflates beyond the cap is cut there, so no archive can fill the disk.
    // False (and the target left empty) when the member can't be read or fails to inflate; a
    // checksum that disagrees with a member inflated to its end is no failure. `written`, when
    // given, receives the number of bytes inflated, whether the extraction succeeded or not.
    bool extractMember(int index, const std::string& targetPath, std::uint64_t cap,
                       std::uint64_t* written = nullptr);

private:
    struct Member {
        std::string name;
        std::uint64_t position = 0;
        std::uint64_t entry = 0;
    };

    void* handle_ = nullptr;
    std::vector<Member> members_;
};

} // namespace tessarel
