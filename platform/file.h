// Binary files on disk: a small owner of a POSIX descriptor, whole-file
// reads, and a writer that replaces a file only once the new content is
// complete (temporary file, then rename).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

class File {
public:
    enum class Mode { Read, Write, ReadWrite };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Write creates or truncates; ReadWrite opens an existing file. Read
    // never waits for a FIFO's writer (one without reads as empty). On
    // failure errno says why.
    bool Open(const std::string& path, Mode mode);
    // What an open does with the file at the path: only an existing one, a
    // missing one made too, or an existing one emptied.
    enum class Disposition { Existing, Create, Truncate };
    // Opens for reading, writing or both; false, with errno, on a failed
    // open and for a folder (EISDIR).
    bool Open(const std::string& path, bool read, bool write, Disposition disposition);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Both return the number of bytes moved; they retry short transfers and
    // stop early only at end of file or on an error.
    size_t Read(void* buffer, size_t size);
    size_t Write(const void* buffer, size_t size);
    bool ReadExact(void* buffer, size_t size) { return Read(buffer, size) == size; }
    bool WriteExact(const void* buffer, size_t size) { return Write(buffer, size) == size; }

    // Whether a read or write met an error rather than the end of the file.
    bool HadError() const { return error_; }

    bool Seek(uint64_t offset);
    // Moves to the end of the file; the new position, or UINT64_MAX.
    uint64_t SeekToEnd();
    uint64_t Tell() const;
    // The file's size, or UINT64_MAX when it cannot be had.
    uint64_t Size() const;
    bool Sync();

    int Descriptor() const { return fd_; }
    // Empty when the open file can be read whole within limit bytes: a
    // regular file no larger, or a FIFO; else why not ("is a character
    // device, not a file", "... bytes, more than ...").
    std::string CheckWholeRead(uint64_t limit) const;

private:
    bool OpenWithFlags(const std::string& path, int flags);

    int fd_ = -1;
    bool error_ = false;
};

// What ReadWholeFile reads at most when its caller names no limit of its
// format; readers of files from users name theirs.
inline constexpr uint64_t kWholeFileReadLimit = uint64_t(256) << 20;

// Reads a whole file of at most limit bytes (the most its format allows);
// false, out untouched and error (when given) saying why, when it cannot be
// read, is larger, or is no file or FIFO (a device such as /dev/zero never
// ends). A FIFO without a writer reads as empty rather than waiting.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, uint64_t limit = kWholeFileReadLimit,
                   std::string* error = nullptr);
bool ReadWholeFile(const std::string& path, std::string& out, uint64_t limit = kWholeFileReadLimit,
                   std::string* error = nullptr);

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);

// Writes a file next to its target and renames it over the target on
// Commit. Until then the old file stays as it was; a writer destroyed
// without Commit removes its temporary file. A symbolic link is written
// through (its target's contents are replaced, the link stays); a replaced
// file keeps its mode; anything at the path other than a regular file (a
// device, a FIFO, a folder) is refused and left alone.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string targetPath);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file; false, with Error saying why, when the
    // target is refused or the temporary file cannot be created.
    bool Open();
    bool Write(const void* data, size_t size);
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }
    File& Stream() { return file_; }
    // Flushes, closes and renames; false (old file intact) when any step
    // or any earlier write failed.
    bool Commit();
    void Abandon();

    const std::string& TargetPath() const { return target_; }
    const std::string& TemporaryPath() const { return temp_; }
    // Why Open or Commit failed, naming the file; empty otherwise.
    const std::string& Error() const { return error_; }

private:
    std::string target_;
    // The file the rename replaces: the target, or what its links lead to.
    std::string renameTo_;
    std::string error_;
    std::string temp_;
    File file_;
    bool failed_ = false;
};

// Writes data to path through an AtomicFileWriter; on failure error, when
// given, says why.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string* error = nullptr);
inline bool WriteFileAtomically(const std::string& path, std::string_view text,
                                std::string* error = nullptr) {
    return WriteFileAtomically(path, text.data(), text.size(), error);
}

} // namespace plat
