// The program's boxes: the error table, the save-changes question and the texts of the
// start-up dialogs. The user interface shows a BoxRequest as it is.
#pragma once

#include <array>
#include <string>

#include "shell/show_error.h"

namespace lumra {

inline constexpr char kProgramName[] = "Lumra Ex";
inline constexpr char kErrorCaption[] = "Error";
inline constexpr char kQuestionCaption[] = "Lumra Ex";
inline constexpr char kJpegErrorCaption[] = "JPEG Library Error";

// The text of an error code (kErrMemory ... kErrHistoryRun); "Error" outside 0-13.
const char* ErrorText(int code);

enum class BoxIcon { None, Error, Warning, Question, Information };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxResult { Ok, Cancel, Yes, No };

struct BoxRequest {
    std::string text;
    std::string caption;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    bool operator==(const BoxRequest&) const = default;
};

// ShowError's box.
BoxRequest ErrorBox(int code);
// The start-up failure (wrong executable name, no settings location).
BoxRequest StartupFailureBox();
// A codec failure on a save path: the codec's message, or the JPEG library's own text
// with its caption when the codec has no message for the code. Empty text: nothing to show.
BoxRequest CodecErrorBox(int codecError, const std::string& libraryText);

// "<file name> への変更を保存しますか?" with caption "Lumra Ex", Yes/No/Cancel.
BoxRequest SaveChangesBox(const std::string& fileName);
// AskSaveChanges' result: 0 cancel, 1 go on without saving, 2 save first.
int SaveChangesAnswer(BoxResult result);

// The mouse-operations dialog.
inline constexpr char kMouseInfoTitle[] = "主なマウス操作";
extern const std::array<const char*, 6> kMouseInfoLines;  // gesture, tabs, "= effect"
inline constexpr char kMouseInfoNote[] = "※ダブルクリック等一部の動作は、変更可能です。";
inline constexpr char kMouseInfoCheck[] = "起動時に操作説明を表示しない";
inline constexpr char kOkText[] = "OK";

}  // namespace lumra
