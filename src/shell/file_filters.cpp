#include "shell/file_filters.h"

namespace lumra {

namespace {

constexpr char kImagePatterns[] = "*.bmp;*.png;*.jpg;*.jpeg;*.jpe;*.tif;*.tiff;*.gif";

}  // namespace

std::vector<FileFilter> OpenFilters(const std::string& pluginPatterns) {
    std::vector<FileFilter> filters;
    std::string all = kImagePatterns;
    if (!pluginPatterns.empty()) all += ";" + pluginPatterns;
    filters.push_back({"イメージ ファイル (*.bmp;*.png;*.jpg;*.tif;*.gif; etc)", all});
    if (!pluginPatterns.empty()) {
        filters.push_back({"プラグイン対応 ファイル (" + pluginPatterns + ")", pluginPatterns});
    }
    filters.push_back({"ビットマップ ファイル (*.bmp)", "*.bmp"});
    filters.push_back({"PNG ファイル (*.png)", "*.png"});
    filters.push_back({"JPEG ファイル (*.jpg;*.jpeg;*.jpe)", "*.jpg;*.jpeg;*.jpe"});
    filters.push_back({"TIFF ファイル (*.tif;*.tiff)", "*.tif;*.tiff"});
    filters.push_back({"GIF ファイル (*.gif)", "*.gif"});
    filters.push_back({"すべて (*.*)", "*.*"});
    return filters;
}

std::vector<FileFilter> SaveFilters(bool fromJpeg) {
    std::vector<FileFilter> filters = {
        {"BMP ファイル (*.bmp)", "*.bmp"},
        {"PNG ファイル (*.png)", "*.png"},
        {"JPEG ファイル (*.jpg;*.jpeg;*.jpe)", "*.jpg;*.jpeg;*.jpe"},
        {"TIFF ファイル (*.tif;*.tiff)", "*.tif;*.tiff"},
        {"GIF ファイル (*.gif)", "*.gif"},
    };
    if (fromJpeg) filters.push_back({"JPEG/TRANS (*.jpg;*.jpeg;*.jpe)", "*.jpg;*.jpeg;*.jpe"});
    return filters;
}

std::vector<std::string> DialogPatterns(const std::string& patterns) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos) end = patterns.size();
        std::string item = patterns.substr(start, end - start);
        const size_t first = item.find_first_not_of(" \t");
        const size_t last = item.find_last_not_of(" \t");
        item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
        if (item == "*.*") item = "*";
        if (!item.empty()) out.push_back(item);
        start = end + 1;
    }
    return out;
}

std::string StripExtension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot <= base) return name;
    return name.substr(0, dot);
}

int SaveFormatForFilterIndex(int index) {
    if (index < 1 || index > 6) return -1;
    return index - 1;
}

}  // namespace lumra
