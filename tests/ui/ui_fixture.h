// Helpers of the interface tests: layout lines written from a few fields,
// and a scratch installation folder mounted in the virtual file system.
#pragma once

#include "engine/asset_log.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"
#include "platform/file.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

// A layout line with the keyword, Id and rectangle given and everything else
// zero or empty, except the strings named.
struct LineSpec {
    LineSpec(std::string k, int i = 0, int l = 0, int t = 0, int r = 0, int b = 0, std::string h = "")
        : keyword(std::move(k)), id(i), left(l), top(t), right(r), bottom(b), handler(std::move(h)) {}
    LineSpec& Image(std::string v) { return image = std::move(v), *this; }
    LineSpec& Open(std::string v) { return openLayout = std::move(v), *this; }
    LineSpec& Caption(std::string v) { return caption = std::move(v), *this; }
    LineSpec& Values(int v1, int v2) { return value1 = v1, value2 = v2, *this; }

    std::string keyword;
    int id = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    std::string handler;
    std::string image;
    std::string openLayout;
    int value1 = 0, value2 = 0;
    std::string caption;
};

inline std::string LayoutLine(const LineSpec& s) {
    std::string line = s.keyword + " 0 " + std::to_string(s.id) + " " + std::to_string(s.left) + " " +
                       std::to_string(s.top) + " " + std::to_string(s.right) + " " +
                       std::to_string(s.bottom) + " 0 0 0 0 " + std::to_string(s.value1) + " " +
                       std::to_string(s.value2) + " 0 0 0 0 0 0 0 0 0 0 0";
    line += " \"" + s.image + "\" \"\" \"\" \"" + s.caption + "\" \"" + s.handler + "\" \"" + s.openLayout +
            "\" \"\" \"\"\n";
    return line;
}

class ScratchInstall {
public:
    ScratchInstall() {
        std::string pattern = (std::filesystem::temp_directory_path() / "md-ui-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a scratch folder");
        path_ = pattern;
        VfsShutdown();
        RegisterStandardSourceTypes();
    }
    ~ScratchInstall() {
        VfsShutdown();
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    ScratchInstall(const ScratchInstall&) = delete;
    ScratchInstall& operator=(const ScratchInstall&) = delete;

    const std::string& Path() const { return path_; }
    void Write(const std::string& relative, const std::string& content) const {
        const std::filesystem::path file = path_ + "/" + relative;
        std::filesystem::create_directories(file.parent_path());
        if (!plat::WriteFileAtomically(file.string(), content))
            throw std::runtime_error("cannot write " + file.string());
    }
    // The folder as a source, with the layout folder "uif" as the game names it.
    bool MountFolder() const { return VfsAddSource("file", path_) && VfsAddVirtualDir("uif", "uif"); }

private:
    std::string path_;
};
