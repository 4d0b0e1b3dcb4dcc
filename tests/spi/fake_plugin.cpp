// A plug-in for the host's tests, built in several variants. The files it accepts start
// with "SPITEST\n" and "key=value" lines that say what GetPicture returns.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "formats/spi_abi.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FAKE_VERSION
#define FAKE_VERSION "00IN"
#endif
// Pattern groups separated by '|', with ',' standing for ';'.
#ifndef FAKE_PATTERNS
#define FAKE_PATTERNS "*.fake"
#endif
// What the files it accepts start with.
#ifndef FAKE_MAGIC
#define FAKE_MAGIC "SPITEST\n"
#endif

namespace {

struct Config {
    long width = 4, height = 3, bits = 24, compression = 0, result = 0;
    long infoBytes = -1, bitsBytes = -1, clrUsed = 0, depth = 0, headerSize = 40;
    long throws = 0, hinfo = 0;
};

bool ReadConfig(const char* name, intptr_t offset, Config& c) {
    std::FILE* f = std::fopen(name, "rb");
    if (!f) return false;
    char buf[2048] = {};
    const bool seek = std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0;
    const size_t n = seek ? std::fread(buf, 1, sizeof buf - 1, f) : 0;
    std::fclose(f);
    if (n < 8 || std::memcmp(buf, "SPITEST\n", 8) != 0) return false;
    std::string text(buf + 8, n - 8);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const long v = std::strtol(line.c_str() + eq + 1, nullptr, 10);
        if (key == "width") c.width = v;
        else if (key == "height") c.height = v;
        else if (key == "bits") c.bits = v;
        else if (key == "compression") c.compression = v;
        else if (key == "result") c.result = v;
        else if (key == "info_bytes") c.infoBytes = v;
        else if (key == "bits_bytes") c.bitsBytes = v;
        else if (key == "clr_used") c.clrUsed = v;
        else if (key == "depth") c.depth = v;
        else if (key == "header_size") c.headerSize = v;
        else if (key == "throw") c.throws = v;
        else if (key == "hinfo") c.hinfo = v;
    }
    return true;
}

[[maybe_unused]] int32_t CopyText(const std::string& text, char* buf, int32_t buflen) {
    if (buflen <= 0) return 0;
    const size_t n = std::min(text.size(), static_cast<size_t>(buflen - 1));
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return static_cast<int32_t>(n);
}

// Group k of FAKE_PATTERNS, or false past the last.
[[maybe_unused]] bool PatternGroup(int k, std::string& out) {
    std::string all = FAKE_PATTERNS;
    for (char& ch : all)
        if (ch == ',') ch = ';';
    size_t start = 0;
    for (int i = 0; i < k; ++i) {
        start = all.find('|', start);
        if (start == std::string::npos) return false;
        ++start;
    }
    const size_t end = all.find('|', start);
    out = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

}  // namespace

#ifndef FAKE_NO_GETPLUGININFO
FAKE_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    if (infono == 0) return CopyText(FAKE_VERSION, buf, buflen);
    if (infono == 1) return CopyText("Test plug-in", buf, buflen);
    if (infono < 2) return 0;
#if defined(FAKE_ENDLESS)
    // A new pattern for every number, for ever.
    return CopyText("*.e" + std::to_string(infono), buf, buflen);
#elif defined(FAKE_SAME_FOREVER)
    return CopyText(infono % 2 ? "Same" : "*.same", buf, buflen);
#else
    std::string group;
    if (!PatternGroup((infono - 2) / 2, group)) return 0;
    if (infono % 2) return CopyText("Fake format " + std::to_string((infono - 2) / 2 + 1), buf, buflen);
    return CopyText(group, buf, buflen);
#endif
}
#endif

#ifndef FAKE_NO_ISSUPPORTED
FAKE_EXPORT int32_t IsSupported(const char*, const void* data) {
    return std::memcmp(data, FAKE_MAGIC, std::strlen(FAKE_MAGIC)) == 0 ? 1 : 0;
}
#endif

#ifndef FAKE_NO_GETPICTUREINFO
FAKE_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t, SpiPictureInfo* info) {
    Config c;
    if (!ReadConfig(buf, len, c)) return SPI_NOT_SUPPORT;
    SpiPictureInfo out{};
    out.width = static_cast<int32_t>(c.width);
    out.height = static_cast<int32_t>(c.height);
    out.colorDepth = static_cast<int16_t>(c.depth);
    if (c.hinfo) {
        char* text = static_cast<char*>(std::malloc(16));
        std::strcpy(text, "text info");
        out.hInfo = text;
    }
    std::memcpy(info, &out, sizeof out);
    return SPI_ALL_RIGHT;
}
#endif

#ifndef FAKE_NO_GETPICTURE
FAKE_EXPORT int32_t GetPicture(const char* buf, intptr_t len, uint32_t, void** pHBInfo, void** pHBm,
                               SpiProgressCallback progress, intptr_t data) {
    Config c;
    if (!ReadConfig(buf, len, c)) return SPI_NOT_SUPPORT;
    if (c.throws) throw std::runtime_error("broken plug-in");
    if (progress && progress(0, 1, data) != 0) return SPI_ABORT;

    const long colours = c.bits <= 8 ? (c.clrUsed ? c.clrUsed : 1L << c.bits) : 0;
    const size_t infoBytes = c.infoBytes >= 0 ? static_cast<size_t>(c.infoBytes)
                                              : static_cast<size_t>(c.headerSize + colours * 4);
    const long w = c.width < 0 ? -c.width : c.width;
    const long h = c.height < 0 ? -c.height : c.height;
    const size_t stride = ((static_cast<size_t>(w) * static_cast<size_t>(c.bits) + 31) / 32) * 4;
    const size_t bitsBytes = c.bitsBytes >= 0 ? static_cast<size_t>(c.bitsBytes) : stride * static_cast<size_t>(h);

    auto* info = static_cast<uint8_t*>(std::calloc(infoBytes ? infoBytes : 1, 1));
    auto* bits = static_cast<uint8_t*>(std::malloc(bitsBytes ? bitsBytes : 1));
    if (!info || !bits) {
        std::free(info);
        std::free(bits);
        return SPI_NO_MEMORY;
    }
    auto put32 = [&](size_t at, uint32_t v) {
        if (at + 4 <= infoBytes) std::memcpy(info + at, &v, 4);
    };
    auto put16 = [&](size_t at, uint16_t v) {
        if (at + 2 <= infoBytes) std::memcpy(info + at, &v, 2);
    };
    put32(0, static_cast<uint32_t>(c.headerSize));
    put32(4, static_cast<uint32_t>(c.width));
    put32(8, static_cast<uint32_t>(c.height));
    put16(12, 1);
    put16(14, static_cast<uint16_t>(c.bits));
    put32(16, static_cast<uint32_t>(c.compression));
    put32(24, 2835);
    put32(28, 2835);
    put32(32, static_cast<uint32_t>(c.clrUsed));
    for (long i = 0; i < colours; ++i) {
        const size_t at = static_cast<size_t>(c.headerSize + i * 4);
        if (at + 4 > infoBytes) break;
        info[at] = static_cast<uint8_t>(i);
        info[at + 1] = static_cast<uint8_t>(255 - i);
        info[at + 2] = static_cast<uint8_t>(i / 2);
    }
    for (size_t i = 0; i < bitsBytes; ++i) bits[i] = static_cast<uint8_t>(i * 7 + 3);
    *pHBInfo = info;
    *pHBm = bits;
    return static_cast<int32_t>(c.result);
}
#endif

#ifdef FAKE_CONFIG
// Records its call in the file named by FAKE_CONFIG_LOG.
FAKE_EXPORT int32_t ConfigurationDlg(intptr_t parent, int32_t fnc) {
    const char* log = std::getenv("FAKE_CONFIG_LOG");
    if (!log) return -1;
    std::FILE* f = std::fopen(log, "w");
    if (!f) return -1;
    std::fprintf(f, "%ld %d", static_cast<long>(parent), static_cast<int>(fnc));
    std::fclose(f);
    return 0;
}
#endif
