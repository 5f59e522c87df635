// A temporary installation folder mounted in the virtual file system, for
// the tests of the asset readers that find their files by pattern.
#pragma once

#include "asset_fixture.h"

#include "data/file_locations.h"
#include "engine/tga_writer.h"
#include "files/file_location_hooks.h"
#include "files/virtual_file_system.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class VfsAssetTest : public AssetEngineTest {
protected:
    void SetUp() override {
        AssetEngineTest::SetUp();
        root = std::filesystem::temp_directory_path() /
               ("md_assets_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        VfsShutdown();
        RegisterStandardSourceTypes();
        ASSERT_TRUE(VfsAddSource("file", root.string()));
    }
    void TearDown() override {
        VfsShutdown();
        TexturesTable::Clear();
        std::filesystem::remove_all(root);
        AssetEngineTest::TearDown();
    }

    // Makes the folder a virtual directory of the same name.
    void Mount(const std::string& name) {
        std::filesystem::create_directories(root / name);
        ASSERT_TRUE(VfsAddVirtualDir(name, name));
    }

    // Writes a picture of one colour, optionally with a pixel of another.
    void WritePicture(const std::string& path, int32_t w, int32_t h, uint32_t colour = 0xFF808080) {
        std::vector<uint32_t> pixels(size_t(w) * size_t(h), colour);
        WriteFile(path, WriteTga(pixels, w, h));
    }

    void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::filesystem::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    void WriteText(const std::string& path, const std::string& text) {
        WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    }

    std::filesystem::path root;
};
