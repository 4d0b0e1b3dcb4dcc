#include "formats/jpeg/jpeg_transform.h"

#include <algorithm>
#include <memory>

#include "formats/codec_error.h"
#include "formats/jpeg/jpeg_glue.h"
#include "platform/file_io.h"

namespace lumra {

namespace {

constexpr int kBlock = DCTSIZE;

struct TransformState {
    jpeg_decompress_struct src{};
    jpeg_compress_struct dst{};
    jpeg::ErrorManager err{};
    jpeg::MemorySource source{};
    jpeg::ScanLimit limit{};
    bool srcCreated = false;
    bool dstCreated = false;
    TransformState() = default;
    TransformState(const TransformState&) = delete;
    TransformState& operator=(const TransformState&) = delete;
    ~TransformState() {
        if (dstCreated) jpeg_destroy_compress(&dst);
        if (srcCreated) jpeg_destroy_decompress(&src);
    }
};

bool Transposes(int t) { return t == kJpegRotate90 || t == kJpegRotate270; }

// What one output component takes from the source.
struct ComponentPlan {
    int h = 1, v = 1;            // output sampling factors
    JDIMENSION widthBlocks = 0;  // the output coefficient array, whole iMCUs
    JDIMENSION heightBlocks = 0;
    JDIMENSION mirrorWidth = 0;   // blocks that can be mirrored left-right
    JDIMENSION mirrorHeight = 0;  // blocks that can be mirrored top-bottom
};

struct Plan {
    int transform = kJpegTransformNone;
    int components = 0;
    JDIMENSION width = 0, height = 0;  // output picture
    ComponentPlan comp[MAX_COMPONENTS];
};

Plan MakePlan(const jpeg_decompress_struct& src, int transform, bool trim, bool grey) {
    Plan p;
    p.transform = transform;
    p.components = grey ? 1 : src.num_components;
    const bool transpose = Transposes(transform);
    // Output iMCU size: one block for a single component, else by the largest factors.
    int maxH = 1, maxV = 1;
    if (p.components > 1) {
        maxH = transpose ? src.max_v_samp_factor : src.max_h_samp_factor;
        maxV = transpose ? src.max_h_samp_factor : src.max_v_samp_factor;
    }
    const JDIMENSION imcuW = static_cast<JDIMENSION>(maxH * kBlock);
    const JDIMENSION imcuH = static_cast<JDIMENSION>(maxV * kBlock);
    p.width = transpose ? src.image_height : src.image_width;
    p.height = transpose ? src.image_width : src.image_height;
    const bool trimRight = transform == kJpegFlipHorizontal || transform == kJpegRotate90 ||
                           transform == kJpegRotate180;
    const bool trimBottom = transform == kJpegFlipVertical || transform == kJpegRotate270 ||
                            transform == kJpegRotate180;
    if (trim && trimRight && p.width / imcuW > 0) p.width = p.width / imcuW * imcuW;
    if (trim && trimBottom && p.height / imcuH > 0) p.height = p.height / imcuH * imcuH;

    // Whole iMCUs of the source along the mirrored direction.
    const JDIMENSION fullCols = p.width == 0 ? 0 : (transpose ? src.image_height : src.image_width) / imcuW;
    const JDIMENSION fullRows = p.height == 0 ? 0 : (transpose ? src.image_width : src.image_height) / imcuH;
    for (int ci = 0; ci < p.components; ++ci) {
        const jpeg_component_info& c = src.comp_info[ci];
        ComponentPlan& cp = p.comp[ci];
        if (p.components == 1) {
            cp.h = cp.v = 1;
        } else {
            cp.h = transpose ? c.v_samp_factor : c.h_samp_factor;
            cp.v = transpose ? c.h_samp_factor : c.v_samp_factor;
        }
        cp.widthBlocks = (p.width + imcuW - 1) / imcuW * static_cast<JDIMENSION>(cp.h);
        cp.heightBlocks = (p.height + imcuH - 1) / imcuH * static_cast<JDIMENSION>(cp.v);
        cp.mirrorWidth = fullCols * static_cast<JDIMENSION>(cp.h);
        cp.mirrorHeight = fullRows * static_cast<JDIMENSION>(cp.v);
    }
    return p;
}

// Coefficient operations on one block.
void CopyBlock(const JCOEF* s, JCOEF* d, bool negOddCols, bool negOddRows) {
    for (int r = 0; r < kBlock; ++r)
        for (int c = 0; c < kBlock; ++c) {
            const bool neg = ((c & 1) && negOddCols) != ((r & 1) && negOddRows);
            const JCOEF v = s[r * kBlock + c];
            d[r * kBlock + c] = neg ? static_cast<JCOEF>(-v) : v;
        }
}

void TransposeBlock(const JCOEF* s, JCOEF* d, bool negOddCols, bool negOddRows) {
    for (int r = 0; r < kBlock; ++r)
        for (int c = 0; c < kBlock; ++c) {
            const bool neg = ((c & 1) && negOddCols) || ((r & 1) && negOddRows);
            const JCOEF v = s[c * kBlock + r];
            d[r * kBlock + c] = neg ? static_cast<JCOEF>(-v) : v;
        }
}

std::vector<JBLOCKROW> Rows(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION rows, bool writable) {
    std::vector<JBLOCKROW> out(rows);
    for (JDIMENSION y = 0; y < rows; ++y)
        out[y] = (*cinfo->mem->access_virt_barray)(cinfo, array, y, 1, writable ? TRUE : FALSE)[0];
    return out;
}

// Fills one output component from its source component.
void TransformComponent(jpeg_decompress_struct& src, const Plan& p, int ci,
                        jvirt_barray_ptr srcArray, jvirt_barray_ptr dstArray) {
    const jpeg_component_info& sc = src.comp_info[ci];
    const ComponentPlan& cp = p.comp[ci];
    auto* common = reinterpret_cast<j_common_ptr>(&src);
    // The source array covers whole iMCUs of the source.
    const JDIMENSION srcW = (sc.width_in_blocks + sc.h_samp_factor - 1) / sc.h_samp_factor * sc.h_samp_factor;
    const JDIMENSION srcH = (sc.height_in_blocks + sc.v_samp_factor - 1) / sc.v_samp_factor * sc.v_samp_factor;
    const std::vector<JBLOCKROW> in = Rows(common, srcArray, srcH, false);
    const std::vector<JBLOCKROW> out = Rows(common, dstArray, cp.heightBlocks, true);
    static const JBLOCK kZero{};
    const JDIMENSION mw = cp.mirrorWidth, mh = cp.mirrorHeight;
    for (JDIMENSION by = 0; by < cp.heightBlocks; ++by) {
        for (JDIMENSION bx = 0; bx < cp.widthBlocks; ++bx) {
            JCOEF* d = out[by][bx];
            JDIMENSION sx = bx, sy = by;
            bool transpose = false, negCols = false, negRows = false;
            switch (p.transform) {
                case kJpegFlipHorizontal:
                    if (bx < mw) { sx = mw - 1 - bx; negCols = true; }
                    break;
                case kJpegFlipVertical:
                    if (by < mh) { sy = mh - 1 - by; negRows = true; }
                    break;
                case kJpegRotate180:
                    if (bx < mw) { sx = mw - 1 - bx; negCols = true; }
                    if (by < mh) { sy = mh - 1 - by; negRows = true; }
                    break;
                case kJpegRotate90:
                    // Transpose, then mirror left-right where whole iMCUs allow.
                    transpose = true;
                    sx = by;
                    sy = bx;
                    if (bx < mw) { sy = mw - 1 - bx; negCols = true; }
                    break;
                case kJpegRotate270:
                    // Transpose, then mirror top-bottom where whole iMCUs allow.
                    transpose = true;
                    sx = by;
                    sy = bx;
                    if (by < mh) { sx = mh - 1 - by; negRows = true; }
                    break;
                default: break;
            }
            const JCOEF* s = (sx < srcW && sy < srcH) ? in[sy][sx] : kZero;
            if (transpose) TransposeBlock(s, d, negCols, negRows);
            else CopyBlock(s, d, negCols, negRows);
        }
    }
}

void TransposeQuantTables(jpeg_compress_struct& dst) {
    for (JQUANT_TBL* t : dst.quant_tbl_ptrs) {
        if (!t) continue;
        for (int r = 0; r < kBlock; ++r)
            for (int c = r + 1; c < kBlock; ++c) std::swap(t->quantval[r * kBlock + c], t->quantval[c * kBlock + r]);
    }
}

bool IsExif(const jpeg_saved_marker_ptr m) {
    return m && m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && m->data[0] == 'E' &&
           m->data[1] == 'x' && m->data[2] == 'i' && m->data[3] == 'f' && m->data[4] == 0 &&
           m->data[5] == 0;
}

// Rewrites ExifImageWidth and ExifImageHeight for the new picture size (offsets within
// the first 64 KB only, as other tools do).
void AdjustExifSize(JOCTET* data, unsigned length, JDIMENSION width, JDIMENSION height) {
    if (length < 12) return;
    bool motorola;
    if (data[0] == 0x49 && data[1] == 0x49) motorola = false;
    else if (data[0] == 0x4D && data[1] == 0x4D) motorola = true;
    else return;
    auto u16 = [&](unsigned at) -> unsigned {
        return motorola ? (data[at] << 8 | data[at + 1]) : (data[at + 1] << 8 | data[at]);
    };
    if (u16(2) != 0x2A) return;
    // The IFD offsets must fit in 16 bits.
    auto offset32 = [&](unsigned at, unsigned& out) {
        if (motorola ? (data[at] || data[at + 1]) : (data[at + 3] || data[at + 2])) return false;
        out = motorola ? u16(at + 2) : u16(at);
        return true;
    };
    unsigned at = 0;
    if (!offset32(4, at) || at > length - 2) return;
    unsigned tags = u16(at);
    if (tags == 0) return;
    at += 2;
    for (;;) {
        if (at > length - 12) return;
        if (u16(at) == 0x8769) break;
        if (--tags == 0) return;
        at += 12;
    }
    unsigned exif = 0;
    if (!offset32(at + 8, exif) || exif > length - 2) return;
    tags = u16(exif);
    if (tags < 2) return;
    exif += 2;
    do {
        if (exif > length - 12) return;
        const unsigned tag = u16(exif);
        if (tag == 0xA002 || tag == 0xA003) {
            const JDIMENSION value = tag == 0xA002 ? width : height;
            JOCTET* e = data + exif;
            if (motorola) {
                const JOCTET bytes[10] = {0, 4, 0, 0, 0, 1, 0, 0, static_cast<JOCTET>(value >> 8 & 0xFF),
                                          static_cast<JOCTET>(value & 0xFF)};
                std::copy(bytes, bytes + 10, e + 2);
            } else {
                const JOCTET bytes[10] = {4, 0, 1, 0, 0, 0, static_cast<JOCTET>(value & 0xFF),
                                          static_cast<JOCTET>(value >> 8 & 0xFF), 0, 0};
                std::copy(bytes, bytes + 10, e + 2);
            }
        }
        exif += 12;
    } while (--tags);
}

bool RunTransform(TransformState& st, const uint8_t* data, size_t size,
                  const JpegTransformOptions& o, jpeg_destination_mgr* dest, DecoderContext& ctx) {
    jpeg_decompress_struct& src = st.src;
    jpeg_compress_struct& dst = st.dst;
    src.err = &st.err.pub;
    dst.err = &st.err.pub;
    jpeg::InitErrorManager(st.err, &ctx.message);
    if (setjmp(st.err.jump)) return false;
    jpeg_create_decompress(&src);
    st.srcCreated = true;
    jpeg_create_compress(&dst);
    st.dstCreated = true;
    src.mem->max_memory_to_use = dst.mem->max_memory_to_use;
    jpeg::SetMemorySource(&src, st.source, data, size);
    jpeg::SetScanLimit(&src, st.limit);
    if (o.markers >= kJpegCopyComments) jpeg_save_markers(&src, JPEG_COM, 0xFFFF);
    if (o.markers >= kJpegCopyAll)
        for (int m = 0; m < 16; ++m) jpeg_save_markers(&src, JPEG_APP0 + m, 0xFFFF);

    jpeg_read_header(&src, TRUE);
    if (src.image_width > static_cast<JDIMENSION>(kMaxPictureSide) ||
        src.image_height > static_cast<JDIMENSION>(kMaxPictureSide)) {
        ctx.error = kCodecUnsupported;
        return false;
    }
    const int transform = o.transform >= kJpegRotate90 && o.transform <= kJpegFlipVertical
                              ? o.transform
                              : kJpegTransformNone;
    const bool grey = o.grey && src.jpeg_color_space == JCS_YCbCr && src.num_components == 3;
    const Plan plan = MakePlan(src, transform, o.trim, grey);

    jvirt_barray_ptr workspace[MAX_COMPONENTS] = {};
    if (transform != kJpegTransformNone) {
        for (int ci = 0; ci < plan.components; ++ci)
            workspace[ci] = (*src.mem->request_virt_barray)(
                reinterpret_cast<j_common_ptr>(&src), JPOOL_IMAGE, TRUE, plan.comp[ci].widthBlocks,
                plan.comp[ci].heightBlocks, static_cast<JDIMENSION>(plan.comp[ci].v));
    }
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&src);
    jpeg_copy_critical_parameters(&src, &dst);

    if (grey) {
        // Only a full-resolution luminance can stand alone.
        if (src.comp_info[0].h_samp_factor != src.max_h_samp_factor ||
            src.comp_info[0].v_samp_factor != src.max_v_samp_factor)
            jpeg::Fail(reinterpret_cast<j_common_ptr>(&dst), "Unsupported color conversion request");
        const int table = dst.comp_info[0].quant_tbl_no;
        jpeg_set_colorspace(&dst, JCS_GRAYSCALE);
        dst.comp_info[0].quant_tbl_no = table;
    } else if (plan.components == 1) {
        dst.comp_info[0].h_samp_factor = 1;
        dst.comp_info[0].v_samp_factor = 1;
    }
    dst.image_width = plan.width;
    dst.image_height = plan.height;
    if (Transposes(transform)) {
        for (int ci = 0; ci < dst.num_components; ++ci)
            std::swap(dst.comp_info[ci].h_samp_factor, dst.comp_info[ci].v_samp_factor);
        TransposeQuantTables(dst);
    }
    // An Exif segment first: no JFIF header, and its size fields follow the new size.
    if (IsExif(src.marker_list)) {
        dst.write_JFIF_header = FALSE;
        if (dst.image_width != src.image_width || dst.image_height != src.image_height)
            AdjustExifSize(src.marker_list->data + 6, src.marker_list->data_length - 6,
                           dst.image_width, dst.image_height);
    }
    dst.optimize_coding = TRUE;
    if (o.progressive) jpeg_simple_progression(&dst);
    dst.dest = dest;

    jpeg_write_coefficients(&dst, transform != kJpegTransformNone ? workspace : coefficients);
    for (jpeg_saved_marker_ptr m = src.marker_list; m; m = m->next) {
        const JOCTET* d = m->data;
        const bool long5 = m->data_length >= 5;
        if (dst.write_JFIF_header && m->marker == JPEG_APP0 && long5 && d[0] == 'J' &&
            d[1] == 'F' && d[2] == 'I' && d[3] == 'F' && d[4] == 0)
            continue;
        if (dst.write_Adobe_marker && m->marker == JPEG_APP0 + 14 && long5 && d[0] == 'A' &&
            d[1] == 'd' && d[2] == 'o' && d[3] == 'b' && d[4] == 'e')
            continue;
        jpeg_write_marker(&dst, m->marker, m->data, m->data_length);
    }
    if (transform != kJpegTransformNone)
        for (int ci = 0; ci < plan.components; ++ci)
            TransformComponent(src, plan, ci, coefficients[ci], workspace[ci]);
    jpeg_finish_compress(&dst);
    jpeg_finish_decompress(&src);
    return true;
}

}  // namespace

bool TransformJpegBytes(const uint8_t* data, size_t size, const JpegTransformOptions& options,
                        std::vector<uint8_t>& out, DecoderContext& ctx) {
    out.clear();
    jpeg::MemoryDestination dest;
    if (!dest.Reserve(size + 65536)) {
        ctx.error = kCodecMemory;
        return false;
    }
    jpeg::InitMemoryDestination(dest);
    auto st = std::make_unique<TransformState>();
    if (!RunTransform(*st, data, size, options, &dest.pub, ctx)) return false;
    out.assign(dest.buffer, dest.buffer + dest.size);
    return true;
}

bool TransformJpegFile(const JpegTransformOptions& options, const std::string& source,
                       const std::string& destination, DecoderContext& ctx) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(source, data)) {
        ctx.error = kCodecRead;
        return false;
    }
    jpeg::FileDestination dest;
    if (!dest.Open(destination)) {
        ctx.error = dest.buffer ? kCodecCreate : kCodecMemory;
        return false;
    }
    jpeg::InitFileDestination(dest);
    bool ok = false;
    {
        auto st = std::make_unique<TransformState>();
        ok = RunTransform(*st, data.data(), data.size(), options, &dest.pub, ctx);
    }
    if (!dest.Close() && ok) {
        ctx.error = kCodecSave;
        ok = false;
    }
    return ok;
}

}  // namespace lumra
