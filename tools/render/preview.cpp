#include "tools/render/preview.h"

#include <sys/stat.h>

#include <set>

#include "tools/description/json.h"

namespace tools::render {

using namespace tools::description;

namespace {

void collectStrings(const json::Value& value, std::vector<std::string>& out)
{
    if (value.isString())
        out.push_back(value.text);
    for (const json::Value& item : value.items)
        collectStrings(item, out);
    for (const auto& member : value.members)
        collectStrings(member.second, out);
}

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::vector<std::string> filesNamedBy(const std::string& descriptionPath, const std::string& text)
{
    std::vector<std::string> files{descriptionPath};
    json::Value root;
    if (!json::parse(text, root, nullptr))
        return files;
    size_t slash = descriptionPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : descriptionPath.substr(0, slash + 1);
    std::vector<std::string> strings;
    collectStrings(root, strings);
    std::set<std::string> seen{descriptionPath};
    for (const std::string& name : strings) {
        if (name.empty())
            continue;
        std::string path = name[0] == '/' ? name : (folder == "." ? name : folder + name);
        if (isRegularFile(path) && seen.insert(path).second)
            files.push_back(path);
    }
    return files;
}

Stamps stampsOf(const std::vector<std::string>& paths)
{
    Stamps stamps;
    for (const std::string& path : paths) {
        FileStamp& stamp = stamps[path];
        struct stat st;
        if (stat(path.c_str(), &st) == 0) {
            stamp.exists = true;
            stamp.modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
            stamp.size = int64_t(st.st_size);
        }
    }
    return stamps;
}

bool ReloadDecision::poll(const Stamps& now)
{
    if (now == built_) {
        pending_.clear();
        return false;
    }
    if (now != pending_) {
        pending_ = now;
        return false;
    }
    return true;
}

void ReloadDecision::rebuilt(Stamps built)
{
    for (auto& [file, stamp] : built) {
        auto seen = pending_.find(file);
        if (seen != pending_.end())
            stamp = seen->second;
    }
    built_ = std::move(built);
    pending_.clear();
}

}  // namespace tools::render
