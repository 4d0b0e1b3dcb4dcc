#include "shell/messages.h"

#include "formats/codec_error.h"

namespace lumra {

const std::array<const char*, 6> kMouseInfoLines = {
    "ウィンドウを右ボタンでクリック\t= メニュー表示",
    "ウィンドウ上端にポインタ移動\t= ツールバー表示",
    "ホイールクリック/ホイール回転\t= 表示倍率変更",
    "画像を右ボタンでドラッグ\t\t= スクロール",
    "ウィンドウをダブルクリック\t\t= 全画面表示切替",
    "ウィンドウを左右同時クリック\t= 編集ウィンドウ切替",
};

const char* ErrorText(int code) { return ShowErrorText(code); }

BoxRequest ErrorBox(int code) {
    return BoxRequest{ErrorText(code), kErrorCaption, BoxIcon::Error, BoxButtons::Ok};
}

BoxRequest StartupFailureBox() { return ErrorBox(kErrFileExec); }

BoxRequest CodecErrorBox(int codecError, const std::string& libraryText) {
    const char* text = CodecErrorText(codecError);
    if (text && *text) return BoxRequest{text, kErrorCaption, BoxIcon::Error, BoxButtons::Ok};
    if (!libraryText.empty()) {
        return BoxRequest{libraryText, kJpegErrorCaption, BoxIcon::Error, BoxButtons::Ok};
    }
    return BoxRequest{"", kErrorCaption, BoxIcon::Error, BoxButtons::Ok};
}

BoxRequest SaveChangesBox(const std::string& fileName) {
    return BoxRequest{fileName + " への変更を保存しますか?", kQuestionCaption, BoxIcon::Warning,
                      BoxButtons::YesNoCancel};
}

int SaveChangesAnswer(BoxResult result) {
    switch (result) {
        case BoxResult::Yes: return 2;
        case BoxResult::No: return 1;
        default: return 0;
    }
}

}  // namespace lumra
