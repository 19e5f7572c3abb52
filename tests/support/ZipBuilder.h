#pragma once
// Builds ZIP archives in tests, entries spelled exactly as given (traversal names included),
// so the extraction can be tried on archives no well-behaved archiver would write.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class ZipBuilder {
public:
    // A file entry; `stored` keeps the bytes uncompressed (easy to corrupt on purpose).
    ZipBuilder& file(const std::string& name, const std::string& content, bool stored = false);
    // A folder entry; the name should end with "/".
    ZipBuilder& folder(const std::string& name);
    // A symbolic link entry, as a Unix archiver writes it: the content is the link's target.
    ZipBuilder& symlink(const std::string& name, const std::string& target);

    // Writes the archive; throws when minizip fails.
    void write(const std::filesystem::path& path) const;

private:
    struct Entry {
        std::string name;
        std::string content;
        unsigned long mode = 0;
        bool stored = false;
    };
    std::vector<Entry> entries_;
};

} // namespace testsupport
