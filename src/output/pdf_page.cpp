#include "output/pdf_page.h"

#include <zlib.h>

#include <cstdio>

namespace lumra {

namespace {

std::string Number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

// A PDF text string: printable ASCII kept, the rest escaped in octal.
std::string PdfString(const std::string& text) {
    std::string s = "(";
    for (const unsigned char c : text) {
        if (c == '(' || c == ')' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 32 || c > 126) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            s += buf;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + ")";
}

}  // namespace

std::string MakePdfPage(double pageWidth, double pageHeight, const PdfPicture& picture, double left,
                        double top, double width, double height, const std::string& title) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3)
        return {};
    uLongf packedSize = compressBound(static_cast<uLong>(picture.rgb.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, picture.rgb.data(),
                  static_cast<uLong>(picture.rgb.size()), 6) != Z_OK)
        return {};
    packed.resize(packedSize);

    const std::string content = "q\n" + Number(width) + " 0 0 " + Number(height) + " " + Number(left) + " " +
                                Number(pageHeight - top - height) + " cm\n/Im0 Do\nQ\n";
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Number(pageWidth) + " " + Number(pageHeight) +
            "] /Resources << /XObject << /Im0 5 0 R >> >> /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /XObject /Subtype /Image /Width " + std::to_string(picture.width) + " /Height " +
            std::to_string(picture.height) +
            " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /Length " +
            std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream",
        "<< /Title " + PdfString(title) + " /Producer (Lumra Ex) >>",
    };
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const size_t o : offsets) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%010zu 00000 n \n", o);
        out += buf;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info " +
           std::to_string(objects.size()) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

}  // namespace lumra
