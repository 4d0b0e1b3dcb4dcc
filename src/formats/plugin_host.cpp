#include "formats/plugin_host.h"

#include <dirent.h>
#include <dlfcn.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "formats/spi_abi.h"
#include "platform/file_io.h"
#include "platform/file_stamp.h"
#include "platform/paths.h"

namespace lumra {

static_assert(sizeof(SpiPictureInfo) == 22 + sizeof(void*), "SpiPictureInfo is byte-packed");

namespace {

constexpr char kVersionImport[4] = {'0', '0', 'I', 'N'};
// Pattern and description pairs asked of one plug-in; a plug-in that never stops
// answering cannot hold the host in a loop.
constexpr int kMaxInfoPairs = 100;
// Room behind the length the host announces, for plug-ins that write one too many.
constexpr size_t kSlack = 256;

bool EndsWithSpi(const char* name) {
    const size_t n = std::strlen(name);
    if (n < 5) return false;
    const char* e = name + n - 4;
    return e[0] == '.' && (e[1] | 0x20) == 's' && (e[2] | 0x20) == 'p' && (e[3] | 0x20) == 'i';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// The *.spi regular files of a folder in byte order of their names.
std::vector<std::string> SpiFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        if (!EndsWithSpi(e->d_name)) continue;
        const std::optional<FileStamp> st = StampOfPath(JoinPath(folder, e->d_name));
        if (!st || !st->regular) continue;
        names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Calls into a plug-in; a C++ exception thrown through the interface counts as failure.
template <typename F>
auto Guarded(F f, decltype(f()) onThrow) noexcept -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        return onThrow;
    }
}

// One GetPluginInfo answer as text; false when the plug-in returns 0 or less (no more).
bool PluginInfoText(SpiGetPluginInfo getInfo, int infono, size_t bufChars, std::string& out) {
    std::vector<char> buf(bufChars + kSlack, '\0');
    const int32_t r = Guarded([&] { return getInfo(infono, buf.data(), static_cast<int32_t>(bufChars)); }, 0);
    if (r <= 0) return false;
    const size_t limit = std::min(static_cast<size_t>(r), bufChars);
    out.assign(buf.data(), strnlen(buf.data(), limit));
    return true;
}

bool HasImportVersion(SpiGetPluginInfo getInfo) {
    std::vector<char> buf(8 + kSlack, '\0');
    const int32_t r = Guarded([&] { return getInfo(0, buf.data(), 8); }, 0);
    return r > 0 && std::memcmp(buf.data(), kVersionImport, 4) == 0;
}

// Length of a valid UTF-8 sequence at s[i], 0 when invalid.
size_t Utf8Length(const std::string& s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

// Invalid bytes become '?', so that the text is always UTF-8.
std::string CleanUtf8(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8Length(s, i);
        if (n == 0) {
            out += '?';
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

// At most max bytes, cut at a character boundary.
std::string CutUtf8(const std::string& s, size_t max) {
    if (s.size() <= max) return s;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
    return s.substr(0, end);
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void CollectPatterns(SpiGetPluginInfo getInfo, std::vector<std::string>& table) {
    for (int pair = 1; pair <= kMaxInfoPairs; ++pair) {
        std::string text;
        if (!PluginInfoText(getInfo, pair * 2, kPluginTableChars, text)) return;
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(';', start);
            if (end == std::string::npos) end = text.size();
            // Kept as the plug-in gives them, only lower-cased.
            const std::string p = LowerAscii(text.substr(start, end - start));
            start = end + 1;
            if (p.empty() || IsBuiltInExtension(p)) continue;
            if (std::find(table.begin(), table.end(), p) != table.end()) continue;
            table.push_back(p);
            if (static_cast<int>(table.size()) >= kMaxPluginPatterns) return;
        }
    }
}

// The file's start, zero-filled to the header size, and its size. False when the file
// cannot be opened or is empty.
bool ReadHeader(const std::string& path, std::vector<uint8_t>& header, int64_t& size) {
    FileStamp st;
    const int fd = OpenForReading(path, st);
    if (fd < 0) return false;
    bool ok = st.regular && st.size > 0;
    if (ok) {
        size = st.size;
        header.assign(kPluginHeaderBytes, 0);
        size_t done = 0;
        while (done < header.size()) {
            const ssize_t r = ::read(fd, header.data() + done, header.size() - done);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            done += static_cast<size_t>(r);
        }
        ok = done > 0;
    }
    ::close(fd);
    return ok;
}

extern "C" int32_t ContinueProgress(int32_t, int32_t, intptr_t) { return 0; }

// The two blocks GetPicture hands over; released with free() on every path.
struct PictureBlocks {
    void* info = nullptr;
    void* bits = nullptr;
    ~PictureBlocks() {
        std::free(info);
        std::free(bits);
    }
};

struct DibHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(DibHeader) == 40);

// Checks the returned picture against its blocks and copies it into image.
bool AcceptPicture(const PictureBlocks& blocks, ImageBuffer& image) {
    if (!blocks.info || !blocks.bits) return false;
    const size_t infoSize = ::malloc_usable_size(blocks.info);
    const size_t bitsSize = ::malloc_usable_size(blocks.bits);
    if (infoSize < sizeof(DibHeader)) return false;
    DibHeader h;
    std::memcpy(&h, blocks.info, sizeof h);
    if (h.biSize < sizeof(DibHeader) || h.biSize > infoSize) return false;
    if (h.biCompression != 0) return false;
    // A negative height is a top-down picture: refused.
    if (h.biWidth < 1 || h.biWidth > kMaxPictureSide || h.biHeight < 1 || h.biHeight > kMaxPictureSide)
        return false;
    const int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return false;

    const size_t rowBytes = PaddedRowBytes(h.biWidth, bpp);
    const size_t need = rowBytes * static_cast<size_t>(h.biHeight);
    if (rowBytes == 0) return false;

    // Short blocks give what they hold; the rest of the picture and its colours stay black.
    size_t colours = 0;
    if (bpp <= 8) colours = std::min<size_t>((infoSize - h.biSize) / 4, size_t{1} << bpp);

    ImageBuffer out;
    if (!out.Allocate(h.biWidth, h.biHeight, bpp)) return false;
    out.header.biXPelsPerMeter = h.biXPelsPerMeter;
    out.header.biYPelsPerMeter = h.biYPelsPerMeter;
    const auto* info = static_cast<const uint8_t*>(blocks.info);
    for (size_t i = 0; i < colours; ++i) {
        const uint8_t* q = info + h.biSize + i * 4;
        out.palette[i] = RgbQuad{q[0], q[1], q[2], 0};
    }
    std::memcpy(out.bits(), blocks.bits, std::min(bitsSize, need));
    image = std::move(out);
    return true;
}

}  // namespace

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool PluginLibrary::Open(const std::string& path) {
    Close();
    // Symbols resolved now, so that a plug-in missing one fails here and not in a call.
    // The code stays mapped after the last close: threads or exit handlers a library
    // leaves behind never run into unmapped memory.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    return handle_ != nullptr;
}

void PluginLibrary::Close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* PluginLibrary::Symbol(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

bool IsBuiltInExtension(const std::string& pattern) {
    const size_t dot = pattern.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = pattern.substr(dot);
    for (const char* e : {".jpg", ".png", ".gif", ".bmp", ".tif", ".tiff", ".jpe", ".jpeg"})
        if (ext == e) return true;
    return false;
}

std::vector<std::string> ListPlugins(const std::string& folder, bool collectPatterns) {
    std::vector<std::string> table;
    int accepted = 0;
    for (const std::string& name : SpiFiles(folder)) {
        if (accepted >= kMaxPlugins) break;
        if (collectPatterns && static_cast<int>(table.size()) >= kMaxPluginPatterns) break;
        PluginLibrary lib;
        if (!lib.Open(JoinPath(folder, name))) continue;
        const auto getInfo = reinterpret_cast<SpiGetPluginInfo>(lib.Symbol("GetPluginInfo"));
        if (!getInfo || !HasImportVersion(getInfo)) continue;
        ++accepted;
        if (collectPatterns) CollectPatterns(getInfo, table);
        else table.push_back(name);
    }
    return table;
}

bool FindPluginFor(const std::string& folder, PluginContext& ctx, const std::string& path) {
    ctx.library.Close();
    std::vector<uint8_t> header;
    int64_t size = 0;
    if (!ReadHeader(path, header, size)) return false;
    ctx.fileSize = size;

    const std::vector<std::string> names = ListPlugins(folder, false);
    int tried = 0;
    for (const std::string& name : names) {
        if (tried++ >= kMaxPlugins) break;
        PluginLibrary lib;
        if (!lib.Open(JoinPath(folder, name))) continue;
        const auto isSupported = reinterpret_cast<SpiIsSupported>(lib.Symbol("IsSupported"));
        if (!isSupported) continue;
        int offset = -1;
        if (Guarded([&] { return isSupported(path.c_str(), header.data()); }, 0) != 0) {
            offset = 0;
        } else if (Guarded([&] { return isSupported(path.c_str(), header.data() + kPluginPrefixOffset); }, 0) != 0) {
            offset = kPluginPrefixOffset;
        }
        if (offset < 0) continue;
        ctx.library = std::move(lib);
        ctx.pluginName = name;
        ctx.offset = offset;
        return true;
    }
    return false;
}

bool DecodeWithPlugin(PluginContext& ctx, const std::string& path) {
    ctx.base.image.Reset();
    if (!ctx.library.loaded()) return false;

    int depth = 0;
    if (const auto getInfo = reinterpret_cast<SpiGetPictureInfo>(ctx.library.Symbol("GetPictureInfo"))) {
        // Room behind the structure for a plug-in built with a wider layout.
        union {
            SpiPictureInfo info;
            uint8_t room[sizeof(SpiPictureInfo) + kSlack];
        } u;
        std::memset(&u, 0, sizeof u);
        const int32_t r = Guarded([&] { return getInfo(path.c_str(), ctx.offset, SPI_INPUT_FILE, &u.info); },
                                  SPI_OTHER_ERROR);
        if (r == SPI_ALL_RIGHT) {
            depth = u.info.colorDepth;
            std::free(u.info.hInfo);
        }
    }

    const auto getPicture = reinterpret_cast<SpiGetPicture>(ctx.library.Symbol("GetPicture"));
    if (!getPicture) return false;
    PictureBlocks blocks;
    const int32_t r = Guarded(
        [&] {
            return getPicture(path.c_str(), ctx.offset, SPI_INPUT_FILE, &blocks.info, &blocks.bits,
                              ContinueProgress, 0);
        },
        SPI_OTHER_ERROR);
    if (r != SPI_ALL_RIGHT) return false;

    ImageBuffer image;
    if (!AcceptPicture(blocks, image)) return false;
    image.sourceFormat = kFormatUnknown;
    image.sourceBitDepth = depth > 0 ? depth : image.bitCount();
    image.fileSize = static_cast<int32_t>(std::min<int64_t>(ctx.fileSize, INT32_MAX));
    image.fileTime = FileModifiedTime(path);
    ctx.base.image = std::move(image);
    return true;
}

bool DecodeWithPlugins(const std::string& folder, const std::string& path, ImageBuffer& out) {
    if (!IsDirectory(folder)) return false;
    PluginContext ctx;
    if (!FindPluginFor(folder, ctx, path)) return false;
    bool ok = false;
    try {
        ok = DecodeWithPlugin(ctx, path);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ctx.library.Close();
    if (!ok) return false;
    out = std::move(ctx.base.image);
    return true;
}

bool DescribePlugin(const std::string& libraryPath, std::string& patterns,
                    std::string& descriptions) {
    patterns.clear();
    descriptions.clear();
    PluginLibrary lib;
    if (!lib.Open(libraryPath)) return false;
    const auto getInfo = reinterpret_cast<SpiGetPluginInfo>(lib.Symbol("GetPluginInfo"));
    if (!getInfo) return false;
    std::string p, d;
    for (int pair = 1; pair <= kMaxInfoPairs; ++pair) {
        std::string pattern, description;
        if (!PluginInfoText(getInfo, pair * 2, kPluginTableChars, pattern)) break;
        PluginInfoText(getInfo, pair * 2 + 1, kPluginTableChars, description);
        if (pair > 1) {
            p += ";";
            d += "/";
        }
        p += pattern;
        d += description;
        if (p.size() >= kPluginTableChars && d.size() >= kPluginTableChars) break;
    }
    patterns = CutUtf8(CleanUtf8(p), kPluginTableChars - 1);
    descriptions = CutUtf8(CleanUtf8(d), kPluginTableChars - 1);
    return true;
}

PluginConfiguration RunPluginConfiguration(const std::string& libraryPath, intptr_t parent) {
    PluginLibrary lib;
    if (!lib.Open(libraryPath)) return PluginConfiguration::NotLoaded;
    const auto dialog = reinterpret_cast<SpiConfigurationDlg>(lib.Symbol("ConfigurationDlg"));
    if (!dialog) return PluginConfiguration::NoDialog;
    Guarded([&] { return dialog(parent, 1); }, SPI_OTHER_ERROR);
    return PluginConfiguration::Shown;
}

std::vector<std::string> PluginFilePatterns(const std::string& folder) {
    if (!IsDirectory(folder)) return {};
    return ListPlugins(folder, true);
}

std::string PluginPatternText(const std::string& folder) {
    std::string text;
    for (const std::string& p : PluginFilePatterns(folder)) {
        if (!text.empty()) text += ";";
        text += p;
    }
    return text;
}

std::string InstalledPluginFolder(const std::string& executablePath) {
    const std::string exeFolder = FolderPart(executablePath);
    if (exeFolder.empty()) return {};
    const std::string folder = JoinPath(exeFolder, "plugins");
    if (IsDirectory(folder)) return folder;
#ifdef LUMRA_PLUGINS_FROM_BIN
    // An installed program: the plug-ins' folder relative to the programs' folder.
    const std::string installed =
        std::filesystem::path(JoinPath(exeFolder, LUMRA_PLUGINS_FROM_BIN)).lexically_normal().string();
    if (IsDirectory(installed)) return installed;
#endif
    return {};
}

}  // namespace lumra
