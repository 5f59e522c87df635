// A temporary folder for file-system tests, removed with everything in it.
#pragma once

#include "files/file_time.h"
#include "platform/file.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "md-files-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a scratch folder in " + pattern);
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

    // Writes a file below the folder, making its folders; a non-zero
    // fileTime becomes its last-write time.
    void Write(const std::string& relative, const std::string& content, uint64_t fileTime = 0) const {
        std::filesystem::path file = *this / relative;
        std::filesystem::create_directories(file.parent_path());
        ASSERT_TRUE(plat::WriteFileAtomically(file.string(), content));
        if (fileTime) {
            ASSERT_TRUE(SetFileWriteTime(file.string(), fileTime));
        }
    }
    std::string Read(const std::string& relative) const {
        std::string content;
        EXPECT_TRUE(plat::ReadWholeFile(*this / relative, content)) << relative;
        return content;
    }
    void MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(*this / relative);
    }
    // The files and folders directly in the folder.
    size_t FileCount() const { return size_t(std::distance(std::filesystem::directory_iterator(path_), {})); }

private:
    std::string path_;
};
