// The open document: the current picture, its history positions, and loading, pasting,
// saving and trial saving it. The user interface is reached only through the hooks, always
// from the thread that called in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "document/error_codes.h"
#include "document/picture.h"
#include "formats/codec_options.h"
#include "formats/load_save.h"

namespace lumra {

// What the document asks of the user interface. Every hook may be empty (command-line tool,
// tests).
struct UiHooks {
    std::function<void(const std::string&)> setTitle;        // e.g. "wait..."
    std::function<std::string()> title;                      // the main window's title now
    std::function<void(bool)> setWaitCursor;                  // true: wait, false: arrow
    std::function<void(int)> showError;                       // ShowError(main window, code)
    // CodecError and the library's text; code 0 with a text: the library's own words.
    std::function<void(int, const std::string&)> reportCodecError;
    std::function<void(const std::string&)> savedFile;        // a file was written (file list)
    std::function<void()> trialPreviewChanged;                // preview pane repaint
    std::function<void()> animationStopped;                   // the picture's frames are released
};

// The document's state. Its owner supplies the load and save settings it works with.
class Document {
public:
    virtual ~Document() = default;

    virtual LImgSettings& LoadOptions() = 0;
    virtual SImgSettings& SaveOptions() = 0;
    virtual const std::string& PluginFolder() const = 0;
    const LImgSettings& LoadOptions() const { return const_cast<Document*>(this)->LoadOptions(); }
    const SImgSettings& SaveOptions() const { return const_cast<Document*>(this)->SaveOptions(); }

    CurrentPicture picture;
    HistoryState history;
    int operationState = 0;  // the active edit operation, 0 when none
    UiHooks ui;

protected:
    Document() = default;
    Document(Document&&) = default;
    Document& operator=(Document&&) = default;
};

// Why a load failed: the format found, the own codec's CodecError and the library's text.
struct LoadResult {
    FormatCode format = kFormatUnknown;
    int error = 0;
    std::string message;
    bool unreadable = false;  // the file could not be opened
};

SaveRequest MakeSaveRequest(const Document& doc);

// Makes a decoded file the current picture, with its flags and frames; the history is cleared.
void InstallDecoded(Document& doc, const std::string& path, DecodedPicture&& decoded);

// The plug-in fallback; false when SPI does not name a folder or nothing reads the file.
bool LoadWithPlugins(Document& doc, const std::string& path, ImageBuffer* preview);

// Opens a file as the current picture (own codec, then plug-ins). Flags of the
// previous picture are kept when it fails; result (when given) says why.
bool LoadPicture(Document& doc, const std::string& path, LoadResult* result = nullptr);
// The same, taking the picture from a decode made ahead when `ahead` gives one (it may wait
// for a decode under way, while the title says "wait...").
using DecodedAhead = std::function<std::optional<DecodedPicture>()>;
bool LoadPicture(Document& doc, const std::string& path, const DecodedAhead& ahead,
                 LoadResult* result = nullptr);
// Per-format load; with preview set the picture is decoded into it instead of installed,
// and the file size is returned through previewSize.
bool LoadFormat(Document& doc, const std::string& path, FormatCode format,
                ImageBuffer* preview = nullptr, int64_t* previewSize = nullptr,
                LoadResult* result = nullptr);

void InstallPicture(Document& doc, ImageBuffer&& image, bool recordFirst, bool sizeChanged);

// The current picture and its history, taken out while a new one is being opened, so that a
// failed open can put them back as they were.
struct PictureAside {
    CurrentPicture picture;
    HistoryState history;
    bool held = false;
};
// Takes the current picture and history out (the document is left without a picture, keeping
// the comment to write as a new picture does); anything held before is dropped first.
void SetPictureAside(Document& doc, PictureAside& aside);
// Puts them back in place of whatever the document holds now.
void RestorePictureAside(Document& doc, PictureAside& aside);
// Gives them up: the history's files and a trial save's file are deleted.
void DropPictureAside(PictureAside& aside);

enum class HistoryMode {
    kClear,     // a new picture: the history starts again, the picture is unmodified
    kAddEntry,  // an edit: one more entry; the file facts of the loaded file stay
};
void SetPictureInfo(Document& doc, const std::string* path, HistoryMode mode,
                    const std::string& label);
void ReleasePicture(Document& doc);

// Undo (-1), redo (+1) or a jump in the history window: installs entry position + delta.
// False when out of range (nothing said) or when the entry cannot be read (error 13 shown;
// nothing changed).
bool StepHistory(Document& doc, int delta, bool* sizeChanged = nullptr);

// Paste: the packed DIB becomes the current picture named "clip" with no path.
bool PastePicture(Document& doc, const uint8_t* dib, size_t size);

bool EncodeToTempFile(Document& doc);
bool SavePicture(Document& doc, const std::string& destination);
// Saves with the given request instead of the settings in force; no trial save is kept.
bool SavePictureWith(Document& doc, const std::string& destination, const SaveRequest& req);
bool TrialSave(Document& doc);
void DiscardTrialSave(Document& doc);
// Whether the trial record was written with the settings now in force.
bool TrialSaveMatches(const Document& doc);

// Shows a JPEG failure: codes 1, 3, 4, 5 and 7 with their own text, otherwise the library's
// text under "JPEG Library Error", otherwise nothing.
void ReportJpegError(Document& doc, const DecoderContext& ctx);

// Before a lossless save: whether the file is still the one installed.
enum class SourceCheck { kUnchanged, kChanged, kUnreadable };
SourceCheck CheckLosslessSource(const std::string& path, int64_t installedFileTime);

}  // namespace lumra
