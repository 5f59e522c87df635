// A file of the fuzz input for readers that take a path: one per process,
// rewritten for every input and removed at exit.
#pragma once

#include "platform/file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

class FuzzScratch {
public:
    // A folder of its own for the process under the temporary folder.
    FuzzScratch()
        : folder_(std::filesystem::temp_directory_path() / ("md-fuzz-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
    }
    ~FuzzScratch() {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    FuzzScratch(const FuzzScratch&) = delete;
    FuzzScratch& operator=(const FuzzScratch&) = delete;

    // Writes the bytes to name in the folder (sub-folders made) and gives
    // its path.
    std::string Write(const std::string& name, const uint8_t* data, size_t size) {
        const std::filesystem::path path = folder_ / name;
        std::filesystem::create_directories(path.parent_path());
        if (!plat::WriteFileAtomically(path.string(), data, size))
            __builtin_trap();
        return path.string();
    }
    std::string Folder() const { return folder_.string(); }

private:
    std::filesystem::path folder_;
};
