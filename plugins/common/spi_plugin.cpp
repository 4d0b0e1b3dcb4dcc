#include "spi_plugin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#define SPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace spi {

Dib::~Dib() {
    std::free(info_);
    std::free(bits_);
}

int Dib::Create(int width, int height, int bitCount) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return SPI_NOT_SUPPORT;
    if (bitCount != 8 && bitCount != 24) return SPI_NOT_SUPPORT;
    std::free(info_);
    std::free(bits_);
    info_ = bits_ = nullptr;
    width_ = width;
    height_ = height;
    stride_ = ((static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32) * 4;
    const size_t colours = bitCount == 8 ? 256 : 0;
    info_ = static_cast<uint8_t*>(std::calloc(40 + colours * 4, 1));
    bits_ = static_cast<uint8_t*>(std::calloc(stride_ * static_cast<size_t>(height), 1));
    if (!info_ || !bits_) return SPI_NO_MEMORY;
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(info_ + at, &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(info_ + at, &v, 2); };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(width));
    put32(8, static_cast<uint32_t>(height));  // positive: rows bottom-up
    put16(12, 1);
    put16(14, static_cast<uint16_t>(bitCount));
    put32(16, 0);  // BI_RGB
    put32(20, static_cast<uint32_t>(stride_ * static_cast<size_t>(height)));
    put32(32, static_cast<uint32_t>(colours));
    return SPI_ALL_RIGHT;
}

void Dib::SetPalette(int index, uint8_t r, uint8_t g, uint8_t b) {
    if (index < 0 || index > 255 || !info_) return;
    uint8_t* q = info_ + 40 + index * 4;
    q[0] = b;
    q[1] = g;
    q[2] = r;
    q[3] = 0;
}

void Dib::SetGreyPalette() {
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        SetPalette(i, v, v, v);
    }
}

void Dib::HandOver(void** info, void** bits) {
    *info = info_;
    *bits = bits_;
    info_ = bits_ = nullptr;
}

void PutRgbRow(uint8_t* dst, const uint8_t* src, int width, bool alpha) {
    if (alpha) {
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = OverWhite(src[2], src[3]);
            dst[1] = OverWhite(src[1], src[3]);
            dst[2] = OverWhite(src[0], src[3]);
        }
    } else {
        for (int x = 0; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
}

void PutGreyRow(uint8_t* dst, const uint8_t* src, int width, bool alpha) {
    if (alpha) {
        for (int x = 0; x < width; ++x, src += 2) dst[x] = OverWhite(src[0], src[1]);
    } else {
        std::memcpy(dst, src, static_cast<size_t>(width));
    }
}

int ReadInput(const char* buf, intptr_t len, uint32_t flag, Input& in) {
    if (!buf) return SPI_FILE_READ_ERROR;
    if ((flag & 7) == SPI_INPUT_MEMORY) {
        if (len <= 0) return SPI_OUT_OF_ORDER;
        in.data = reinterpret_cast<const uint8_t*>(buf);
        in.size = static_cast<size_t>(len);
        return SPI_ALL_RIGHT;
    }
    if ((flag & 7) != SPI_INPUT_FILE) return SPI_NOT_IMPLEMENTED;
    if (len < 0) return SPI_FILE_READ_ERROR;
    const int fd = ::open(buf, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return SPI_FILE_READ_ERROR;
    struct stat st {};
    int result = SPI_ALL_RIGHT;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= len) {
        result = SPI_FILE_READ_ERROR;
    } else {
        const size_t want = static_cast<size_t>(st.st_size - len);
        try {
            in.owned.resize(want);
        } catch (const std::exception&) {
            ::close(fd);
            return SPI_NO_MEMORY;
        }
        size_t done = 0;
        while (done < want) {
            const ssize_t r = ::pread(fd, in.owned.data() + done, want - done, static_cast<off_t>(len + done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            done += static_cast<size_t>(r);
        }
        in.owned.resize(done);
        if (done == 0) result = SPI_FILE_READ_ERROR;
    }
    ::close(fd);
    in.data = in.owned.data();
    in.size = in.owned.size();
    return result;
}

}  // namespace spi

namespace {

int32_t CopyText(const char* text, char* buf, int32_t buflen) {
    if (!buf || buflen <= 0) return 0;
    size_t n = std::strlen(text);
    if (n > static_cast<size_t>(buflen - 1)) n = static_cast<size_t>(buflen - 1);
    std::memcpy(buf, text, n);
    buf[n] = '\0';
    return static_cast<int32_t>(n);
}

}  // namespace

SPI_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    const spi::PluginDef& p = spi::Plugin();
    if (infono == 0) return CopyText("00IN", buf, buflen);
    if (infono == 1) return CopyText(p.about, buf, buflen);
    if (infono < 0) return 0;
    for (int i = 0; p.formats[i]; ++i)
        if (i == infono - 2) return CopyText(p.formats[i], buf, buflen);
    return 0;
}

SPI_EXPORT int32_t IsSupported(const char*, const void* data) {
    if (!data) return 0;
    try {
        return spi::Plugin().accept(static_cast<const uint8_t*>(data), SPI_HEADER_BYTES) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

SPI_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    if (!info) return SPI_OTHER_ERROR;
    try {
        spi::Input in;
        int r = spi::ReadInput(buf, len, flag, in);
        if (r != SPI_ALL_RIGHT) return r;
        spi::Facts facts;
        r = spi::Plugin().probe(in.data, in.size, facts);
        if (r != SPI_ALL_RIGHT) return r;
        SpiPictureInfo out{};
        out.width = facts.width;
        out.height = facts.height;
        out.colorDepth = static_cast<int16_t>(facts.depth);
        out.hInfo = nullptr;
        std::memcpy(info, &out, sizeof out);
        return SPI_ALL_RIGHT;
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}

SPI_EXPORT int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, void** pHBInfo, void** pHBm,
                              SpiProgressCallback progress, intptr_t data) {
    if (!pHBInfo || !pHBm) return SPI_OTHER_ERROR;
    *pHBInfo = nullptr;
    *pHBm = nullptr;
    try {
        if (progress && progress(0, 1, data) != 0) return SPI_ABORT;
        spi::Input in;
        int r = spi::ReadInput(buf, len, flag, in);
        if (r != SPI_ALL_RIGHT) return r;
        spi::Dib dib;
        spi::Facts facts;
        r = spi::Plugin().decode(in.data, in.size, dib, facts);
        if (r != SPI_ALL_RIGHT) return r;
        if (progress && progress(1, 1, data) != 0) return SPI_ABORT;
        dib.HandOver(pHBInfo, pHBm);
        return SPI_ALL_RIGHT;
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}
