#include "files/host_path.h"

#include "platform/file_system.h"

#include <algorithm>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A folder changed within this many seconds before it was read may change
// again without its modification time moving.
constexpr time_t kSettleSeconds = 2;

} // namespace

std::optional<std::vector<std::string>> ReadFolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (!plat::ListFolder(folder, names))
        return std::nullopt;
    return names;
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string FoldedCopy(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        c = FoldCase(c);
    return folded;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool SplitRelativePath(std::string_view path, std::vector<std::string_view>& names) {
    names.clear();
    if (path.find('\0') != std::string_view::npos)
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::string_view name = path.substr(start, end - start);
        if (name == "..")
            return false;
        if (!name.empty() && name != ".")
            names.push_back(name);
        start = end + 1;
    }
    return true;
}

std::string JoinHostPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::optional<std::string> ResolveHostPath(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string current = IsSeparator(path.front()) ? "/" : "";
    size_t start = 0;
    while (start < path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::string_view name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        plat::PathInfo info;
        std::string exact = JoinHostPath(current, name);
        if (name == ".." || plat::GetPathInfo(exact, info, false)) {
            current = std::move(exact);
            continue;
        }
        auto names = ReadFolderNames(current);
        if (!names)
            return std::nullopt;
        auto found = std::find_if(names->begin(), names->end(), [&](const std::string& candidate) {
            return EqualsFolded(candidate, name);
        });
        if (found == names->end())
            return std::nullopt;
        current = JoinHostPath(current, *found);
    }
    plat::PathInfo info;
    if (!plat::GetPathInfo(current, info))
        return std::nullopt;
    return current.empty() ? "." : current;
}

std::optional<std::string> CaseFoldingResolver::Find(const std::vector<std::string_view>& names) {
    return Walk(names, false);
}

std::optional<std::string> CaseFoldingResolver::Place(const std::vector<std::string_view>& names) {
    if (names.empty())
        return std::nullopt;
    return Walk(names, true);
}

std::optional<std::string> CaseFoldingResolver::Walk(const std::vector<std::string_view>& names,
                                                     bool lastMayBeMissing) {
    std::string path = root_;
    for (size_t i = 0; i < names.size(); ++i) {
        const Listing* listing = GetListing(path, false);
        if (!listing)
            return std::nullopt;
        const std::string* real = Match(*listing, names[i]);
        if (!real) {
            plat::PathInfo info;
            bool changed = listing->unsettled || !plat::GetPathInfo(path, info) ||
                           !SameTime(info.modified, listing->modified);
            if (changed && (listing = GetListing(path, true)) != nullptr)
                real = Match(*listing, names[i]);
        }
        if (!real) {
            if (lastMayBeMissing && i + 1 == names.size())
                return JoinHostPath(path, names[i]);
            return std::nullopt;
        }
        path = JoinHostPath(path, *real);
    }
    return path.empty() ? "." : path;
}

const CaseFoldingResolver::Listing* CaseFoldingResolver::GetListing(const std::string& folder, bool refresh) {
    if (!refresh) {
        auto cached = listings_.find(folder);
        if (cached != listings_.end())
            return &cached->second;
    }
    listings_.erase(folder);
    plat::PathInfo info;
    if (!plat::GetPathInfo(folder, info) || info.kind != plat::PathKind::Folder)
        return nullptr;
    auto names = ReadFolderNames(folder);
    if (!names)
        return nullptr;
    Listing listing;
    listing.modified = info.modified;
    listing.unsettled = plat::WallClockNow().tv_sec - info.modified.tv_sec < kSettleSeconds;
    for (std::string& name : *names)
        listing.names[FoldedCopy(name)].push_back(std::move(name));
    return &listings_.emplace(folder, std::move(listing)).first->second;
}

const std::string* CaseFoldingResolver::Match(const Listing& listing, std::string_view name) {
    auto found = listing.names.find(FoldedCopy(name));
    if (found == listing.names.end())
        return nullptr;
    for (const std::string& real : found->second)
        if (real == name)
            return &real;
    return &found->second.front();
}
