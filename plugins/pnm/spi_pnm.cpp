// Netpbm pictures: PBM, PGM, PPM (plain and raw) and PAM, read without a library.
#include <cstring>
#include <string>

#include "spi_plugin.h"

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

struct Reader {
    const uint8_t* p;
    size_t size;
    size_t pos = 0;

    // Blanks and comments (from '#' to the end of the line).
    void SkipBlanks() {
        while (pos < size) {
            if (p[pos] == '#') {
                while (pos < size && p[pos] != '\n' && p[pos] != '\r') ++pos;
            } else if (IsSpace(p[pos])) {
                ++pos;
            } else {
                break;
            }
        }
    }
    // A decimal number up to limit; false when there is none or it is larger.
    bool Number(uint32_t limit, uint32_t& out) {
        SkipBlanks();
        if (pos >= size || p[pos] < '0' || p[pos] > '9') return false;
        uint64_t v = 0;
        while (pos < size && p[pos] >= '0' && p[pos] <= '9') {
            v = v * 10 + (p[pos++] - '0');
            if (v > limit) return false;
        }
        out = static_cast<uint32_t>(v);
        return true;
    }
    std::string Word() {
        while (pos < size && (p[pos] == ' ' || p[pos] == '\t')) ++pos;
        std::string w;
        while (pos < size && !IsSpace(p[pos])) w += static_cast<char>(p[pos++]);
        return w;
    }
    void SkipLine() {
        while (pos < size && p[pos] != '\n') ++pos;
        if (pos < size) ++pos;
    }
};

struct Header {
    int kind = 0;  // 1..7 from the magic
    uint32_t width = 0, height = 0, depth = 0, maxval = 0;
    bool alpha = false;
    size_t dataStart = 0;
};

bool Accept(const uint8_t* head, size_t size) {
    return size >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7' && IsSpace(head[2]);
}

int ParseHeader(const uint8_t* data, size_t size, Header& h) {
    if (!Accept(data, size)) return SPI_NOT_SUPPORT;
    h.kind = data[1] - '0';
    Reader r{data, size, 2};
    if (h.kind == 7) {
        bool haveW = false, haveH = false, haveD = false, haveM = false;
        for (int lines = 0;; ++lines) {
            if (lines > 1000 || r.pos >= size) return SPI_OUT_OF_ORDER;
            while (r.pos < size && IsSpace(r.p[r.pos])) ++r.pos;
            if (r.pos < size && r.p[r.pos] == '#') {
                r.SkipLine();
                continue;
            }
            const std::string key = r.Word();
            if (key == "ENDHDR") {
                // The line ends with one newline.
                while (r.pos < size && r.p[r.pos] != '\n') ++r.pos;
                if (r.pos >= size) return SPI_OUT_OF_ORDER;
                ++r.pos;
                break;
            }
            if (key == "WIDTH") haveW = r.Number(1u << 30, h.width);
            else if (key == "HEIGHT") haveH = r.Number(1u << 30, h.height);
            else if (key == "DEPTH") haveD = r.Number(1u << 30, h.depth);
            else if (key == "MAXVAL") haveM = r.Number(65535, h.maxval);
            else if (key == "TUPLTYPE") {}  // the depth tells the layout
            else if (!key.empty()) return SPI_OUT_OF_ORDER;
            r.SkipLine();
        }
        if (!haveW || !haveH || !haveD || !haveM) return SPI_OUT_OF_ORDER;
        if (h.depth < 1 || h.depth > 4) return SPI_NOT_SUPPORT;
        h.alpha = h.depth == 2 || h.depth == 4;
    } else {
        if (!r.Number(1u << 30, h.width) || !r.Number(1u << 30, h.height)) return SPI_OUT_OF_ORDER;
        if (h.kind == 1 || h.kind == 4) {
            h.maxval = 1;
        } else if (!r.Number(65535, h.maxval)) {
            return SPI_OUT_OF_ORDER;
        }
        h.depth = (h.kind == 3 || h.kind == 6) ? 3 : 1;
        // One blank ends the header of the raw forms.
        if (r.pos >= size || !IsSpace(r.p[r.pos])) return SPI_OUT_OF_ORDER;
        ++r.pos;
    }
    if (h.maxval < 1) return SPI_OUT_OF_ORDER;
    if (h.width < 1 || h.height < 1) return SPI_OUT_OF_ORDER;
    if (h.width > spi::kMaxSide || h.height > spi::kMaxSide) return SPI_NOT_SUPPORT;
    h.dataStart = r.pos;
    return SPI_ALL_RIGHT;
}

int StoredDepth(const Header& h) {
    if (h.kind == 1 || h.kind == 4) return 1;
    return static_cast<int>(h.depth) * (h.maxval > 255 ? 16 : 8);
}

int Probe(const uint8_t* data, size_t size, spi::Facts& facts) {
    Header h;
    const int r = ParseHeader(data, size, h);
    if (r != SPI_ALL_RIGHT) return r;
    facts.width = static_cast<int>(h.width);
    facts.height = static_cast<int>(h.height);
    facts.depth = StoredDepth(h);
    return SPI_ALL_RIGHT;
}

// Samples of one row, scaled to 0..255, in file order.
class SampleSource {
public:
    SampleSource(const uint8_t* data, size_t size, const Header& h)
        : r_{data, size, h.dataStart}, h_(h) {}

    bool Row(uint8_t* out, size_t samples) {
        if (h_.kind == 4) return BitRow(out, samples);
        for (size_t i = 0; i < samples; ++i) {
            uint32_t v = 0;
            if (h_.kind <= 3) {
                if (h_.kind == 1) {
                    // Plain PBM: single digits, blanks optional.
                    r_.SkipBlanks();
                    if (r_.pos >= r_.size || (r_.p[r_.pos] != '0' && r_.p[r_.pos] != '1')) return false;
                    v = r_.p[r_.pos++] - '0';
                } else if (!r_.Number(h_.maxval, v)) {
                    return false;
                }
            } else if (h_.maxval > 255) {
                if (r_.size - r_.pos < 2) return false;
                v = static_cast<uint32_t>(r_.p[r_.pos]) << 8 | r_.p[r_.pos + 1];
                r_.pos += 2;
            } else {
                if (r_.pos >= r_.size) return false;
                v = r_.p[r_.pos++];
            }
            if (v > h_.maxval) return false;
            // In PBM 1 is black.
            if (h_.kind == 1) v = 1 - v;
            out[i] = static_cast<uint8_t>((v * 255 + h_.maxval / 2) / h_.maxval);
        }
        return true;
    }

private:
    bool BitRow(uint8_t* out, size_t samples) {
        const size_t bytes = (samples + 7) / 8;
        if (r_.size - r_.pos < bytes) return false;
        for (size_t i = 0; i < samples; ++i)
            out[i] = (r_.p[r_.pos + i / 8] >> (7 - i % 8)) & 1 ? 0 : 255;
        r_.pos += bytes;
        return true;
    }

    Reader r_;
    const Header& h_;
};

int Decode(const uint8_t* data, size_t size, spi::Dib& dib, spi::Facts& facts) {
    Header h;
    int r = ParseHeader(data, size, h);
    if (r != SPI_ALL_RIGHT) return r;
    facts.width = static_cast<int>(h.width);
    facts.height = static_cast<int>(h.height);
    facts.depth = StoredDepth(h);
    const bool colour = h.depth >= 3;
    r = dib.Create(facts.width, facts.height, colour ? 24 : 8);
    if (r != SPI_ALL_RIGHT) return r;
    if (!colour) dib.SetGreyPalette();
    std::vector<uint8_t> row(static_cast<size_t>(h.width) * h.depth);
    SampleSource source(data, size, h);
    for (int y = 0; y < facts.height; ++y) {
        if (!source.Row(row.data(), row.size())) return SPI_OUT_OF_ORDER;
        if (colour) spi::PutRgbRow(dib.Row(y), row.data(), facts.width, h.alpha);
        else spi::PutGreyRow(dib.Row(y), row.data(), facts.width, h.alpha);
    }
    return SPI_ALL_RIGHT;
}

const char* const kFormats[] = {"*.pnm;*.pbm;*.pgm;*.ppm;*.pam", "Netpbm (PNM/PAM)", nullptr};

}  // namespace

const spi::PluginDef& spi::Plugin() {
    static const PluginDef def{"Netpbm import plug-in (PBM, PGM, PPM, PAM)", kFormats, Accept, Probe, Decode};
    return def;
}
