// The file source over a folder on disk (source type "file") and its open
// file. Paths below the folder are found whatever their letter case; ".."
// never leads out of the folder.
#pragma once

#include "files/file_source.h"
#include "files/host_path.h"
#include "platform/file.h"

#include <string>
#include <utility>
#include <vector>

class DiskFile : public VfsFile {
public:
    // Opens a host file; none for a folder, a bad disposition or a failed
    // open (errno tells why).
    static RefPtr<DiskFile> Open(const std::string& hostPath, uint32_t access, uint32_t disposition);

    // Reads to the end of the file at most; true unless the read failed.
    bool Read(uint32_t count, void* destination, uint32_t* outCount) override;
    uint32_t Size() override;
    bool Write(uint32_t count, const void* source, uint32_t* outCount) override;
    uint32_t Seek(int32_t distance, uint32_t origin) override;

private:
    explicit DiskFile(plat::File file) : file_(std::move(file)) {}
    ~DiskFile() override = default;

    plat::File file_;
};

class DiskFileSource : public FileSource {
public:
    // hostRoot is the folder as found on the host.
    DiskFileSource(std::string sourcePath, std::string hostRoot)
        : sourcePath_(std::move(sourcePath)), resolver_(std::move(hostRoot)) {}

    RefPtr<VfsFile> OpenFile(std::string_view path, uint32_t access, uint32_t disposition) override;
    bool Delete(std::string_view path) override;
    bool FileExists(std::string_view path) override;
    bool FileSize(std::string_view path, uint32_t& size) override;
    // Matches the pattern's last name with "*" and "?" in any letter case, in
    // byte order of the names.
    bool FindFirst(FindRecord& record, std::string_view pattern, uint32_t mode) override;
    bool FindNext(FindRecord& record) override;
    bool FindClose() override;

    const std::string& SourcePath() const override { return sourcePath_; }
    uint32_t FindMode() const override { return findMode_; }
    const std::string& FindPattern() const override { return findPattern_; }

    const std::string& HostRoot() const { return resolver_.Root(); }

private:
    // The host path of an existing file or folder; tries once more with a
    // fresh cache when the cached path has vanished.
    std::optional<std::string> FindExisting(std::string_view path);

    std::string sourcePath_;
    CaseFoldingResolver resolver_;
    std::string findPattern_;
    std::string findFolder_;     // the pattern's folder part as given
    std::string findHostFolder_; // that folder on the host
    std::vector<std::string> findNames_;
    size_t findNext_ = 0;
    bool searching_ = false;
    uint32_t findMode_ = kFindAll;
};

// The factory of the type "file": a source for an existing folder (or file)
// named with either separator in any letter case; none for a drive letter
// ("X:"), which never exists here.
RefPtr<FileSource> CreateDiskFileSource(std::string_view path);
