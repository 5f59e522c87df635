// mdtool pkq: builds, lists, extracts and updates packed archives.
#include "tools/mdtool/command.h"

#include "files/pack_archive.h"

#include <cstdio>
#include <filesystem>

namespace mdtool {
namespace {

constexpr const char* kPkqUsage =
    "pkq build DIR ARCHIVE [--method 6|7] | list ARCHIVE | extract ARCHIVE DIR | "
    "update ARCHIVE PACKAGE";

// One line for each failure of the last operation.
int FailEach(const std::string& archivePath, const PackArchive& archive) {
    if (archive.Failures().empty())
        return Fail(archivePath + ": " + archive.LastError());
    for (const std::string& failure : archive.Failures())
        Fail(archivePath + ": " + failure);
    return 1;
}

int Build(const Args& args) {
    if (args.size() != 3 && !(args.size() == 5 && args[3] == "--method"))
        return Usage(kPkqUsage);
    PackArchive archive;
    if (args.size() == 5) {
        if (args[4] != "6" && args[4] != "7")
            return Fail("the method must be 6 (LZSS) or 7 (aPLib format), not " + args[4]);
        archive.SetMethod(args[4] == "6" ? kMethodLzss : kMethodAplib);
    }
    std::error_code error;
    if (!std::filesystem::is_directory(args[1], error))
        return Fail("no folder " + args[1]);
    archive.SetRootFolder(args[1]);
    bool scanned = archive.ScanFolder();
    bool built = archive.BuildPackArchive(args[2]);
    if (!built || !scanned)
        return FailEach(args[2], archive);
    return 0;
}

int List(const Args& args) {
    if (args.size() != 2)
        return Usage(kPkqUsage);
    PackArchive archive;
    if (!archive.Open(args[1], 1, 2))
        return Fail(args[1] + ": " + archive.LastError());
    std::printf("method %u, %zu entries\n", archive.Method(), archive.Entries().size());
    for (const PackEntry& entry : archive.Entries()) {
        // Names come from the index file: printed escaped.
        const std::string name = Printable(entry.name);
        if (entry.IsCompressed())
            std::printf("%10u %10u  %s\n", entry.unpackedSize, entry.packedSize, name.c_str());
        else
            std::printf("%10u %10s  %s\n", entry.unpackedSize, "stored", name.c_str());
    }
    return 0;
}

int Extract(const Args& args) {
    if (args.size() != 3)
        return Usage(kPkqUsage);
    PackArchive archive;
    if (!archive.Open(args[1], 1, 2))
        return Fail(args[1] + ": " + archive.LastError());
    if (!archive.ExtractAll(args[2]))
        return FailEach(args[1], archive);
    return 0;
}

int Update(const Args& args) {
    if (args.size() != 3)
        return Usage(kPkqUsage);
    PackArchive archive;
    if (!archive.Open(args[1], 1, 2))
        return Fail(args[1] + ": " + archive.LastError());
    if (!archive.ApplyUpdate(args[2]))
        return FailEach(args[1], archive);
    return 0;
}

int RunPkq(const Args& args) {
    if (args.empty())
        return Usage(kPkqUsage);
    if (args[0] == "build")
        return Build(args);
    if (args[0] == "list")
        return List(args);
    if (args[0] == "extract")
        return Extract(args);
    if (args[0] == "update")
        return Update(args);
    return Usage(kPkqUsage);
}

} // namespace

MDTOOL_COMMAND("pkq", kPkqUsage, RunPkq);

} // namespace mdtool
