// The editing model: the operation table, the operation record with its preview copy and
// PixelJob, starting and ending an operation, and committing a preview.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/document.h"
#include "edit/bar_controls.h"
#include "edit/preview_worker.h"
#include "formats/blend_table.h"
#include "formats/image_buffer.h"

namespace lumra {

// OperationState values.
enum OperationKind : int {
    kOpNone = 0,
    kOpSelection = 1,
    kOpPaint = 2,
    kOpPartialBrush = 3,
    kOpText = 4,
    kOpTrim = 5,
    kOpResize = 6,
    kOpRotate = 7,
    kOpHistogram = 8,
    kOpGamma = 9,
    kOpBrightness = 10,
    kOpContrast = 11,
    kOpHueSaturation = 12,
    kOpUnsharp = 13,
    kOpBlur = 14,
    kOpSoftFocus = 15,
    kOpNoise = 16,
    kOpColourReplace = 17,
};

// What a pixel kernel works on. Source and destination share size, depth and stride.
struct PixelJob {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitCount = 0;
    int32_t stride = 0;
    const RgbQuad* srcPalette = nullptr;
    RgbQuad* dstPalette = nullptr;
    const uint8_t* src = nullptr;
    uint8_t* dst = nullptr;
    const uint8_t* mask = nullptr;  // SelectionMask or null
    int32_t threshold = 0;          // colour range
    const BlendTable* blend = nullptr;
    const void* division = nullptr;
    const uint8_t* gamma = nullptr;
    const uint8_t* clamp = nullptr;
    const uint8_t* contrast = nullptr;
    const void* squares = nullptr;
    const void* falloff = nullptr;
};

inline constexpr int kMaxOperationParams = 16;

// The part of an operation the worker reads: the preview copy, the job and the parameters
// (single words the UI thread writes before it requests a recompute).
struct PreviewState {
    // The worker reads its own copy of the source and mask: a worker given up at the end of
    // an operation (threads cannot be terminated here) never reads a released picture.
    ImageBuffer source;
    std::vector<uint8_t> mask;
    ImageBuffer copy;
    PixelJob job;
    std::array<std::atomic<int>, kMaxOperationParams> params{};
    std::shared_ptr<void> data;  // operation-specific tables
    std::function<void()> changed;  // preview repaint; called on the worker thread
    std::function<void(bool)> busy;  // a long computation begins (true) and ends; worker thread
};

struct OperationDef;

// One active operation, from its start to its end.
struct OperationRecord {
    const OperationDef* def = nullptr;
    std::shared_ptr<PreviewState> preview;
    std::unique_ptr<PreviewWorker> worker;
    std::shared_ptr<void> data;  // UI-thread state of the operation
};

// One row of the operation table. Functions left empty mean "not available yet".
struct OperationDef {
    int kind = 0;
    int command = 0;
    const char* historyName = nullptr;  // also the operation bar's caption
    const char* cliName = nullptr;      // name for `lumra edit --op`
    bool hasWorker = false;
    int stopBoundMs = kCorrectionStopMs;
    bool sizeMayChange = false;  // trimming, resize, rotation
    int layout = 2;              // pane layout while active: 2 preview alone, 1 source alone
    // Builds what the operation needs (usually StartPreview); false: not started, reported.
    bool (*start)(Document&, OperationRecord&) = nullptr;
    // Worker side: kernel from source to copy with the current parameters.
    void (*recompute)(PreviewState&) = nullptr;
    bool (*neutral)(const PreviewState&) = nullptr;
    // Own ending for operations without a worker; returns whether the picture changed.
    bool (*finish)(Document&, OperationRecord&, bool ok) = nullptr;
    // `lumra edit --op NAME[=ARGS]`: stores ARGS as parameters; false with a message naming
    // the range.
    bool (*parseArgs)(const std::string& args, PreviewState&, std::string& error) = nullptr;
    // The operation bar's controls after OK and Cancel; their params index PreviewState::params.
    const BarControl* controls = nullptr;
    int controlCount = 0;
};

// A command that changes the picture at once (invert, equalize, the quarter turns and
// mirrors). apply records its own history entry; 0 on success, otherwise the error code it
// has shown (nothing changed).
struct ImmediateDef {
    int command = 0;
    const char* cliName = nullptr;  // `lumra edit --op NAME`
    int (*apply)(Document&) = nullptr;
};

std::span<const ImmediateDef> ImmediateTable();
const ImmediateDef* FindImmediate(int command);
const ImmediateDef* FindImmediateByCliName(const std::string& name);

std::span<const OperationDef> OperationTable();
const OperationDef* FindOperation(int kind);
const OperationDef* FindOperationByCommand(int command);
const OperationDef* FindOperationByCliName(const std::string& name);

// The edit window's model: the active record and the pane layout.
struct EditModel {
    std::unique_ptr<OperationRecord> active;
    int layout = 1;  // 0 both panes, 1 source alone, 2 preview alone
    std::function<void()> previewChanged;  // may be called on the worker thread
    std::function<void(bool)> previewBusy;  // the same; true while a long preview computes
};

bool BeginOperation(EditModel& model, Document& doc, int kind);
bool BeginOperation(EditModel& model, Document& doc, const OperationDef& def);

struct EndResult {
    bool changed = false;
    bool sizeChanged = false;
};
// OK (true) commits through the operation's finish, Cancel drops the preview.
EndResult EndOperation(EditModel& model, Document& doc, bool ok);

// Asks the worker for a recompute (or recomputes at once when the operation has none).
void RequestRecompute(EditModel& model);

// Builds the preview copy and the job from the current picture and starts the worker
// when the operation has one, then draws the first preview. Error 2 when it fails.
bool StartPreview(Document& doc, OperationRecord& record);

// The copy becomes the current picture with one history entry named name.
void CommitPreview(Document& doc, ImageBuffer&& copy, const std::string& name);

// The 24-bit picture of an 8-bit one (palette looked up); other depths copied.
ImageBuffer WidenTo24(const ImageBuffer& image);

// Masked application: blends job.dst (corrected) with job.src by the mask, 24-bit only.
void ApplyMask(const PixelJob& job);

// Selection overlay: selected pixels in colour, the rest dimmed grey; 24-bit picture.
ImageBuffer RenderOverlay(const ImageBuffer& picture24, const uint8_t* mask);

}  // namespace lumra
