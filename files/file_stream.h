// Save streams on plain files. Both go through a buffer, so a save of many
// small fields makes few system calls. A stored file replaces its target
// only when the stream closes without a failure; until then the old file
// stays as it was.
#pragma once

#include "files/save_stream.h"
#include "platform/file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FileWriteStream final : public SaveStream {
public:
    explicit FileWriteStream(const std::string& path);

    // Creates the temporary file that Close renames over the target.
    bool Open() { return writer_.Open(); }

    uint32_t Seek(int64_t distance, SeekOrigin origin) override;
    uint32_t Size() const override;
    bool Close() override;

protected:
    uint32_t TransferBeyondWindow(void* buffer, uint32_t count) override;

private:
    // Writes the buffered run to the file and starts an empty one at position.
    bool Flush(uint32_t position);
    void NoteRun() const;

    plat::AtomicFileWriter writer_;
    // One run of the file's bytes, starting at the window's position.
    std::vector<uint8_t> buffer_;
    // The bytes of the run stored so far.
    mutable uint32_t runLength_ = 0;
    // The end of the bytes stored, in the file or in the run.
    mutable uint32_t end_ = 0;
    bool failed_ = false;
};

class FileReadStream final : public SaveStream {
public:
    FileReadStream();

    // False when the file cannot be opened or is 4 GiB or larger.
    bool Open(const std::string& path);

    uint32_t Seek(int64_t distance, SeekOrigin origin) override;
    uint32_t Size() const override { return size_; }
    bool Close() override;

protected:
    uint32_t TransferBeyondWindow(void* buffer, uint32_t count) override;

private:
    plat::File file_;
    // Bytes of the file from the window's position on; filled_ of them read.
    std::vector<uint8_t> buffer_;
    uint32_t filled_ = 0;
    uint32_t size_ = 0;
    bool failed_ = false;
};

// None when the file cannot be opened or created.
std::unique_ptr<SaveStream> OpenFileReadStream(const std::string& path);
std::unique_ptr<SaveStream> OpenFileWriteStream(const std::string& path);
