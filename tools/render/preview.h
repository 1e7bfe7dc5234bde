// What `demotool play --watch` needs apart from the window: the files a
// description depends on, and when a change to them calls for a rebuild.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tools::render {

// The description itself and every file its string values name (relative
// to its folder, or absolute) that exists when it is read: textures, music,
// the sound library. A description that does not parse depends on itself.
std::vector<std::string> filesNamedBy(const std::string& descriptionPath, const std::string& text);

// Modification time and size of each file; a missing file has none.
struct FileStamp {
    bool exists = false;
    int64_t modified = 0;  // nanoseconds
    int64_t size = 0;
    bool operator==(const FileStamp& other) const
    {
        return exists == other.exists && modified == other.modified && size == other.size;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
using Stamps = std::map<std::string, FileStamp>;
Stamps stampsOf(const std::vector<std::string>& paths);

// The reload decision. Each poll gives the current stamps of the watched
// files. A rebuild is due once they differ from those of the last build
// tried and have stayed the same for one poll (editors write a file in more
// than one step). A failed build is not tried again until another change.
class ReloadDecision {
public:
    explicit ReloadDecision(Stamps built) : built_(std::move(built)) {}
    bool poll(const Stamps& now);
    // After a rebuild (good or bad): the stamps of the files it read. Those
    // the last poll saw settle are kept as seen then, before the build read
    // them, so that a save landing during the build is a change of its own.
    void rebuilt(Stamps built);

private:
    Stamps built_;
    Stamps pending_;  // a change seen at the last poll
};

}  // namespace tools::render
