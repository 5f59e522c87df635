#include "engine/graphic_sets.h"

#include "data/file_locations.h"
#include "engine/asset_log.h"
#include "engine/surfaces.h"
#include "engine/textures.h"
#include "engine/tga_reader.h"
#include "engine/tga_texture.h"
#include "engine/tiled_image.h"
#include "engine/viewport.h"
#include "files/virtual_file_system.h"
#include "platform/clock.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

namespace {

// Sub-images are numbered by field B, a byte.
constexpr int32_t kMaxSubImages = 255;

struct CacheEntry {
    TiledImage* sprite = nullptr;
    uint32_t stamp = 0;
};

struct SpriteCaches {
    SpriteRequest request;
    std::map<SpriteKey, CacheEntry, SpriteKeyLess> sprites;
    std::map<std::string, CacheEntry> names;
    std::map<const TiledImage*, SpriteCompanionData> companions;
    std::map<std::string, std::string> folderSearches;
    std::array<CursorImage, GraphicSets::kCursorCount> cursors{};
    std::array<bool, GraphicSets::kCursorCount> cursorTried{};
    uint32_t stamp = 0;
    uint32_t interval = 0;
};

// Never destroyed: whatever releases sprites into the caches at exit (a
// static owner of a graphics tree, an engine torn down late) finds them in
// place, whatever the order in which static objects go.
SpriteCaches& Caches() {
    static SpriteCaches* caches = [] {
        auto* c = new SpriteCaches;
        c->request.loader = GraphicSets::DefaultLoader;
        return c;
    }();
    return *caches;
}

void ResetRequest() {
    SpriteRequest& r = Caches().request;
    r.key = SpriteKey{};
    r.loader = GraphicSets::DefaultLoader;
}

// The kind's folder (a path of the virtual file system), or empty.
std::string KindFolder(int32_t kind) {
    const char* folder = TexturesTable::GetVirtualDirNameOf(kind);
    return folder ? std::string(folder) : std::string();
}

std::string Format(const char* format, auto... args) {
    char buffer[512];
    int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return n < 0 ? std::string() : std::string(buffer, size_t(std::min(n, int(sizeof buffer) - 1)));
}

// The path of a found entry that opens again through the virtual file
// system: the pattern's folder and the entry's name. The record's full path
// is the source's own, with the virtual directory already put in for its
// folder; a kind folder of more than one level ("gfx/terrain") would leave
// a "/" after it that no longer names a virtual directory.
std::string FoundPath(const std::string& pattern, const FindRecord& record) {
    const size_t separator = pattern.find_last_of("\\/");
    return (separator == std::string::npos ? std::string() : pattern.substr(0, separator + 1)) + record.name;
}

// The path of the first entry matching the pattern, or empty. Folder
// searches are remembered until the caches are released: every sprite of a
// set asks for the same folders, and a kind's folder may hold many sets.
std::string FindFirst(const std::string& pattern, uint32_t mode) {
    std::map<std::string, std::string>& folders = Caches().folderSearches;
    if (mode == kFindFolders) {
        auto known = folders.find(pattern);
        if (known != folders.end())
            return known->second;
    }
    FindRecord record;
    std::string found;
    if (VfsFindFirst(record, pattern, mode))
        found = FoundPath(pattern, record);
    VfsFindClose();
    if (mode == kFindFolders)
        folders.emplace(pattern, found);
    return found;
}

// A folder found by a search is followed by "\", the kind's folder by "/".
struct Folder {
    std::string path;
    bool found = false;
    char Separator() const { return found ? '\\' : '/'; }
};

std::string FilePattern(const Folder& base, int32_t number, int32_t variant, const SpriteKey& key) {
    return Format("%s%c%03d_%d_%02d_%02d_%02d_*.tga", base.path.c_str(), base.Separator(), number, variant,
                  int(key.frame), int(key.fieldA), int(key.fieldB));
}

// Steps 1 to 4 of the naming scheme for the request's key.
std::string PatternFor(const std::string& kindFolder, int32_t number, int32_t variant, const SpriteKey& key,
                       Folder* baseOut) {
    Folder colourFolder{kindFolder, false};
    Folder numberFolder;
    if (key.colour != 255) {
        for (int32_t c : {int32_t(key.colour), 0}) {
            std::string found = FindFirst(Format("%s/%03d*", kindFolder.c_str(), c), kFindFolders);
            if (!found.empty()) {
                colourFolder = {found, true};
                break;
            }
        }
        std::string found = FindFirst(
            Format("%s%c%03d*", colourFolder.path.c_str(), colourFolder.Separator(), number), kFindFolders);
        if (!found.empty())
            numberFolder = {found, true};
    } else {
        std::string found = FindFirst(Format("%s/%03d*", kindFolder.c_str(), number), kFindFolders);
        if (!found.empty())
            numberFolder = {found, true};
    }
    Folder base = numberFolder.found ? numberFolder : colourFolder;
    if (baseOut)
        *baseOut = base;
    return FilePattern(base, number, variant, key);
}

bool Matches(const std::string& pattern) {
    return !FindFirst(pattern, kFindFiles).empty();
}

// A new picture from the first file matching the pattern, or null.
TiledImage* LoadFirstMatch(const std::string& pattern, int32_t frames, int32_t shift) {
    std::string path = FindFirst(pattern, kFindFiles);
    if (path.empty())
        return nullptr;
    std::vector<uint8_t> bytes;
    if (!ReadVfsFile(path, bytes))
        return nullptr;
    auto* image = new TiledImage;
    ClearAssetProblem();
    if (!image->LoadImage(bytes.data(), bytes.size(), Engine::DefaultTextureFormat(), frames, shift)) {
        // The decoder's reason, when it gave one, goes into the one line.
        const std::string reason = LastAssetProblem();
        LogAssetProblem("picture %s gives no texture%s%s", path.c_str(), reason.empty() ? "" : ": ",
                        reason.c_str());
        delete image;
        return nullptr;
    }
    return image;
}

// Tries the pattern, then the loader once (a loader that answers false asks
// for one more look at the pattern, never more).
TiledImage* LoadWithFallback(const std::string& pattern, int32_t shift, SpriteLoader loader) {
    if (TiledImage* image = LoadFirstMatch(pattern, 1, shift))
        return image;
    if (!loader)
        return nullptr;
    TiledImage* slot = nullptr;
    if (loader(&slot))
        return slot;
    delete slot;
    return LoadFirstMatch(pattern, 1, shift);
}

void Insert(std::map<SpriteKey, CacheEntry, SpriteKeyLess>& cache, const SpriteKey& key, TiledImage* sprite) {
    if (sprite)
        sprite->AddRef();
    cache[key] = {sprite, Caches().stamp};
}

// Reads the companion text and the sub-images of a freshly loaded sprite.
void LoadCompanionAndSubImages(TiledImage* sprite, const std::string& pattern, int32_t kind, int32_t number,
                               int32_t frame) {
    std::string companion = pattern.substr(0, pattern.size() - 3) + "txt";
    std::string path = FindFirst(companion, kFindFiles);
    std::vector<uint8_t> bytes;
    if (!path.empty() && ReadVfsFile(path, bytes)) {
        SpriteCompanionData data;
        if (ParseSpriteCompanion(reinterpret_cast<const char*>(bytes.data()), bytes.size(), data))
            Caches().companions[sprite] = std::move(data);
        else
            LogAssetProblem("companion text %s does not begin with a number", path.c_str());
    }
    SpriteRequest& request = Caches().request;
    const SpriteKey saved = request.key;
    for (int32_t b = 1; b <= kMaxSubImages; ++b) {
        request.key.fieldB = uint8_t(b);
        std::string subPattern = GraphicSets::BuildFilePattern(kind, number, frame, saved.variant, true);
        std::string subPath = FindFirst(subPattern, kFindFiles);
        if (subPath.empty())
            break;
        int32_t w = 0, h = 0;
        std::vector<uint32_t> pixels = ReadTgaFile(subPath, w, h);
        if (!pixels.empty())
            sprite->AddSubImage(pixels.data(), w, h);
    }
    request.key = saved;
}

} // namespace

SpriteRequest& SpriteRequest::SetFieldA(uint8_t a) {
    key.fieldA = a;
    return *this;
}

SpriteRequest& SpriteRequest::SetFieldB(uint8_t b) {
    key.fieldB = b;
    return *this;
}

SpriteRequest& SpriteRequest::SelectColour(uint8_t colour) {
    key.colour = colour;
    return *this;
}

SpriteRequest& SpriteRequest::SetFallbackLoader(SpriteLoader fallback) {
    loader = fallback;
    return *this;
}

namespace GraphicSets {

SpriteRequest& Request() {
    return Caches().request;
}

SpriteRequest& SetFieldA(uint8_t a) {
    return Request().SetFieldA(a);
}

SpriteRequest& SetFieldB(uint8_t b) {
    return Request().SetFieldB(b);
}

SpriteRequest& SelectColour(uint8_t colour) {
    return Request().SelectColour(colour);
}

SpriteRequest& SetFallbackLoader(SpriteLoader loader) {
    return Request().SetFallbackLoader(loader);
}

bool DefaultLoader(TiledImage** slot) {
    *slot = nullptr;
    std::string folder = KindFolder(Request().key.kind);
    if (folder.empty())
        return true;
    std::string path = folder + "/dummy.tga";
    std::vector<uint8_t> bytes;
    if (!ReadVfsFile(path, bytes))
        return true;
    auto* image = new TiledImage;
    if (image->LoadImage(bytes.data(), bytes.size(), Engine::DefaultTextureFormat(), 1, 0))
        *slot = image;
    else
        delete image;
    return true;
}

std::string BuildFilePattern(int32_t kind, int32_t number, int32_t frame, int32_t variant, bool exact) {
    SpriteRequest& request = Request();
    std::string folder = KindFolder(kind);
    if (folder.empty())
        return {};
    SpriteKey key = request.key;
    key.kind = uint8_t(kind);
    key.number = uint16_t(number);
    key.frame = uint8_t(frame);
    Folder base;
    std::string pattern = PatternFor(folder, number, variant, key, &base);
    const bool colourSets = kind == 11 || kind == 17 || kind == 21 || kind == 22 || kind == 23;
    if (colourSets && key.colour != 255 && key.colour > 0 && !HasSetFile(kind, number, frame)) {
        key.colour = 0;
        pattern = PatternFor(folder, number, variant, key, &base);
    }
    if (exact && frame == 90 && !Matches(pattern)) {
        if (key.colour != 255) {
            std::string found = FindFirst(Format("%s/%03d*", folder.c_str(), int(key.colour)), kFindFolders);
            base = found.empty() ? Folder{folder, false} : Folder{found, true};
        } else {
            std::string found = FindFirst(folder, kFindFolders);
            base = found.empty() ? Folder{folder, false} : Folder{found, true};
        }
        pattern = FilePattern(base, number, variant, key);
    }
    request.foundFolder = base.path;
    return pattern;
}

std::string GetFilePattern(int32_t kind, int32_t number, int32_t frame, int32_t variant) {
    std::string pattern = BuildFilePattern(kind, number, frame, variant, true);
    ResetRequest();
    return pattern;
}

bool HasFrameFile(int32_t kind, int32_t number, int32_t frame) {
    SpriteKey key = Request().key;
    key.kind = uint8_t(kind);
    key.number = uint16_t(number);
    key.frame = uint8_t(frame);
    key.variant = uint8_t(Viewport::GetZoomGraphicsVariant());
    auto hit = Caches().sprites.find(key);
    if (hit != Caches().sprites.end())
        return hit->second.sprite != nullptr;
    std::string folder = KindFolder(kind);
    return !folder.empty() && Matches(PatternFor(folder, number, key.variant, key, nullptr));
}

bool HasSetFile(int32_t kind, int32_t number, int32_t frame) {
    SpriteKey key = Request().key;
    key.kind = uint8_t(kind);
    key.number = uint16_t(number);
    key.frame = uint8_t(frame);
    key.variant = uint8_t(Viewport::GetZoomGraphicsVariant());
    auto hit = Caches().sprites.find(key);
    if (hit != Caches().sprites.end() && hit->second.sprite)
        return true;
    std::string folder = KindFolder(kind);
    if (folder.empty())
        return false;
    Folder set;
    if (key.colour != 255) {
        std::string colourFolder =
            FindFirst(Format("%s/%03d*", folder.c_str(), int(key.colour)), kFindFolders);
        if (colourFolder.empty())
            return false;
        std::string found = FindFirst(Format("%s\\%03d*", colourFolder.c_str(), number), kFindFolders);
        set = found.empty() ? Folder{colourFolder, true} : Folder{found, true};
    } else {
        std::string found = FindFirst(Format("%s/%03d*", folder.c_str(), number), kFindFolders);
        set = found.empty() ? Folder{folder, false} : Folder{found, true};
    }
    return Matches(FilePattern(set, number, key.variant, key));
}

TiledImage* FetchByName(std::string_view name, int32_t frames) {
    SpriteCaches& caches = Caches();
    std::string path = KindFolder(kInterfaceKind) + "/" + std::string(name);
    auto hit = caches.names.find(path);
    if (hit != caches.names.end()) {
        hit->second.stamp = caches.stamp;
        ResetRequest();
        return hit->second.sprite;
    }
    TiledImage* sprite = nullptr;
    std::vector<uint8_t> bytes;
    if (ReadVfsFile(path, bytes)) {
        sprite = new TiledImage;
        if (!sprite->LoadImage(bytes.data(), bytes.size(), Engine::DefaultTextureFormat(), frames, 0)) {
            delete sprite;
            sprite = nullptr;
        }
    }
    if (!sprite) {
        SpriteLoader loader = caches.request.loader;
        if (!loader) {
            std::string given(name);
            auto same = caches.names.find(given);
            if (same != caches.names.end()) {
                sprite = same->second.sprite;
            } else {
                sprite = LoadFirstMatch(given, frames, 0);
                if (sprite)
                    sprite->AddRef();
                caches.names[given] = {sprite, caches.stamp};
            }
        } else {
            caches.request.key.kind = uint8_t(kInterfaceKind);
            TiledImage* slot = nullptr;
            if (!loader(&slot)) {
                delete slot;
                slot = nullptr;
            }
            sprite = slot;
        }
    }
    if (sprite)
        sprite->AddRef();
    caches.names[path] = {sprite, caches.stamp};
    ResetRequest();
    return sprite;
}

const CursorImage& GetCursor(int32_t n) {
    SpriteCaches& caches = Caches();
    if (n < 1 || n >= kCursorCount)
        return caches.cursors[0];
    CursorImage& cursor = caches.cursors[size_t(n)];
    if (caches.cursorTried[size_t(n)])
        return cursor;
    caches.cursorTried[size_t(n)] = true;
    FindRecord record;
    std::string path, fileName;
    const std::string pattern = Format("gfx_uif/cursor_%02d*.tga", int(n - 1));
    if (VfsFindFirst(record, pattern, kFindFiles)) {
        path = FoundPath(pattern, record);
        fileName = record.name;
    }
    VfsFindClose();
    if (path.empty())
        return cursor;
    int32_t hx = 0, hy = 0, columns = 0, rows = 0;
    if (!ParseCursorName(fileName, hx, hy, columns, rows)) {
        LogAssetProblem("cursor %s: the name needs a hotspot and a grid of 1 to 16 frames", fileName.c_str());
        return cursor;
    }
    Engine::TextureSize size;
    TextureHandle texture = LoadTgaTexture(path, Engine::DefaultTextureFormat(), &size, true, 0);
    if (!texture)
        return cursor;
    cursor = {texture, hx, hy, columns, rows, size.width / columns, size.height / rows};
    return cursor;
}

const SpriteCompanionData* GetCompanion(const TiledImage* sprite) {
    auto it = Caches().companions.find(sprite);
    return it == Caches().companions.end() ? nullptr : &it->second;
}

void ApplyZoom() {
    if (Viewport::GetCurrent() != 0)
        return;
    for (auto& [key, entry] : Caches().sprites)
        if (entry.sprite)
            entry.sprite->UpdateZoomMetrics();
}

void SetStamp(uint32_t interval) {
    Caches().interval = interval;
    Caches().stamp = plat::Clock::Millis();
}

void Init() {
    Request().loader = DefaultLoader;
    ResetRequest();
}

void ReleaseAll() {
    SpriteCaches& caches = Caches();
    for (auto& [key, entry] : caches.sprites) {
        if (!entry.sprite)
            continue;
        caches.companions.erase(entry.sprite);
        entry.sprite->Release();
    }
    caches.sprites.clear();
    caches.companions.clear();
    caches.folderSearches.clear();
}

void ClearNamesAndCursors() {
    SpriteCaches& caches = Caches();
    for (auto& [name, entry] : caches.names)
        if (entry.sprite)
            entry.sprite->Release();
    caches.names.clear();
    for (CursorImage& cursor : caches.cursors) {
        if (cursor.texture)
            Engine::DeleteTexture(cursor.texture);
        cursor = {};
    }
    caches.cursorTried = {};
}

size_t CachedSpriteCount() {
    return Caches().sprites.size();
}

size_t CachedNameCount() {
    return Caches().names.size();
}

} // namespace GraphicSets

TiledImage* SpriteFetch(int32_t kind, int32_t number, int32_t frame) {
    SpriteCaches& caches = Caches();
    SpriteRequest& request = caches.request;
    SpriteKey key = request.key;
    key.kind = uint8_t(kind);
    key.number = uint16_t(number);
    key.frame = uint8_t(frame);
    key.variant = uint8_t(Viewport::GetZoomGraphicsVariant());
    request.key = key;

    auto hit = caches.sprites.find(key);
    if (hit != caches.sprites.end()) {
        hit->second.stamp = caches.stamp;
        TiledImage* sprite = hit->second.sprite;
        ResetRequest();
        return sprite;
    }

    const std::string pattern = GraphicSets::BuildFilePattern(kind, number, frame, key.variant, false);
    TiledImage* sprite = pattern.empty() ? nullptr : LoadFirstMatch(pattern, 1, key.variant);
    bool fresh = sprite != nullptr;
    if (!sprite) {
        if (key.variant == 0 && key.fieldB == 0) {
            sprite = LoadWithFallback(pattern, 0, request.loader);
            fresh = false;
        } else {
            SpriteKey reduced = key;
            reduced.variant = 0;
            reduced.fieldB = 0;
            auto base = caches.sprites.find(reduced);
            if (base != caches.sprites.end()) {
                sprite = base->second.sprite;
            } else {
                request.key = reduced;
                const std::string basePattern = GraphicSets::BuildFilePattern(kind, number, frame, 0, false);
                sprite = LoadWithFallback(basePattern, 0, request.loader);
                Insert(caches.sprites, reduced, sprite);
                request.key = key;
            }
        }
    }
    Insert(caches.sprites, key, sprite);
    if (sprite && fresh && key.fieldA == 0)
        LoadCompanionAndSubImages(sprite, pattern, kind, number, frame);
    ResetRequest();
    return sprite;
}
