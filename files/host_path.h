// From the game's paths to the host's: the game writes its paths with "\\" (or
// "/") in any letter case, as on a case-blind file system. These helpers find
// the file that such a path means on Linux, one name at a time: an exact name
// wins, otherwise the first name that differs only in case, in byte order of
// the names, so that the result never depends on the order of a directory.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

char FoldCase(char c);
std::string FoldedCopy(std::string_view text);
bool EqualsFolded(std::string_view a, std::string_view b);

// Splits a path relative to a root into its names. Both separators count;
// empty names and "." are skipped. False for ".." (which could leave the
// root) and for a NUL byte.
bool SplitRelativePath(std::string_view path, std::vector<std::string_view>& names);

// The host path of an existing file or folder named by a host path written
// with either separator and in any letter case; ".." and "." keep their
// meaning. Reads the folders afresh each time.
std::optional<std::string> ResolveHostPath(std::string_view path);

// The names in a host folder other than "." and "..", in byte order.
std::optional<std::vector<std::string>> ReadFolderNames(const std::string& folder);

// Appends a name to a host folder ("" is the current folder).
std::string JoinHostPath(std::string_view folder, std::string_view name);

// Resolves paths below one root folder with a cache of the folders' names.
// A listing is read again when a name is missing and the folder has changed
// since it was read; callers whose operation then fails on a vanished file
// call ForgetAll and resolve once more.
class CaseFoldingResolver {
public:
    explicit CaseFoldingResolver(std::string root) : root_(std::move(root)) {}

    const std::string& Root() const { return root_; }

    // The host path of an existing file or folder.
    std::optional<std::string> Find(const std::vector<std::string_view>& names);
    // The host path where a file of that name is, or would be created: every
    // folder must exist; the last name is matched when it exists and taken
    // as given otherwise.
    std::optional<std::string> Place(const std::vector<std::string_view>& names);

    // Drops every cached listing.
    void ForgetAll() { listings_.clear(); }

private:
    struct Listing {
        // Folded name -> the real names that fold to it, in byte order.
        std::unordered_map<std::string, std::vector<std::string>> names;
        timespec modified{};
        // Read so soon after the folder last changed that a change in the
        // same clock tick would not show in its time: misses read it again.
        bool unsettled = false;
    };

    std::optional<std::string> Walk(const std::vector<std::string_view>& names, bool lastMayBeMissing);
    const Listing* GetListing(const std::string& folder, bool refresh);
    static const std::string* Match(const Listing& listing, std::string_view name);

    std::string root_;
    std::unordered_map<std::string, Listing> listings_;
};
