// The import plug-in host: .spi shared objects in one folder, asked in turn whether they
// read a file, and their pictures turned into ImageBuffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/decoder_context.h"

namespace lumra {

inline constexpr int kMaxPlugins = 100;         // plug-ins examined per search
inline constexpr int kMaxPluginPatterns = 100;  // file patterns collected
inline constexpr size_t kPluginTableChars = 260;
inline constexpr size_t kPluginHeaderBytes = 2176;  // 2048 + the 128-byte prefix
inline constexpr int kPluginPrefixOffset = 128;

// A loaded plug-in library; closed when the object goes away.
class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary() { Close(); }
    PluginLibrary(PluginLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    PluginLibrary& operator=(PluginLibrary&& other) noexcept;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool loaded() const { return handle_ != nullptr; }
    void* Symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

// One plug-in load: the library that accepted the file, the read offset and the picture.
struct PluginContext {
    DecoderContext base;  // base.image: sourceFormat 0, fileSize, sourceBitDepth
    PluginLibrary library;
    std::string pluginName;  // file name of the accepting plug-in
    int offset = 0;          // 0, or 128 for a file with a 128-byte prefix
    int64_t fileSize = 0;
};

// The plug-ins of a folder, in name order, that report the import version "00IN": their
// file names, or (collectPatterns) their file patterns, lower-cased, without the
// extensions the program reads itself and without repeats. At most 100 of either.
std::vector<std::string> ListPlugins(const std::string& folder, bool collectPatterns);

// Loads and keeps in ctx the first plug-in that accepts the file, at offset 0 or 128.
bool FindPluginFor(const std::string& folder, PluginContext& ctx, const std::string& path);

// Decodes with the plug-in FindPluginFor kept into ctx.base.image.
bool DecodeWithPlugin(PluginContext& ctx, const std::string& path);

// FindPluginFor and DecodeWithPlugin: the picture of a file no own codec reads.
bool DecodeWithPlugins(const std::string& folder, const std::string& path, ImageBuffer& out);

// A plug-in's patterns joined with ";" and its descriptions with "/", each at most 259
// characters. False when the library cannot be loaded or lacks GetPluginInfo.
bool DescribePlugin(const std::string& libraryPath, std::string& patterns,
                    std::string& descriptions);

// A plug-in's own settings dialog: "ConfigurationDlg"(parent, 1) when it exports one; the
// library is unloaded again afterwards.
enum class PluginConfiguration { NotLoaded, NoDialog, Shown };
PluginConfiguration RunPluginConfiguration(const std::string& libraryPath, intptr_t parent);

// The plug-in patterns of a folder ("*.webp", ...) for the file list; empty when the
// folder is not a directory.
std::vector<std::string> PluginFilePatterns(const std::string& folder);
// The same joined with ";" for the open dialog.
std::string PluginPatternText(const std::string& folder);

// The folder of the plug-ins installed with the program: "plugins" beside the executable,
// else the installed plug-in folder relative to it; empty when there is none.
std::string InstalledPluginFolder(const std::string& executablePath);

// Whether a pattern's extension (from its last dot) is one the program reads itself.
bool IsBuiltInExtension(const std::string& pattern);

}  // namespace lumra
