// A whole file mapped read-only into memory, for archives whose entries are
// read at random places. The view stays valid until the mapping is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace plat {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps an existing regular file (an empty one gives an empty view),
    // hinting random access; false when it cannot be opened or mapped.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return open_; }

    std::span<const uint8_t> View() const { return {data_, size_}; }
    size_t Size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool open_ = false;
};

} // namespace plat
