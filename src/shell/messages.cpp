#include "shell/messages.h"

#include "formats/codec_error.h"

namespace lumra {

namespace {

constexpr const char* kErrorTexts[] = {
    "メモリ確保に失敗しました。",
    "データ読み取りに失敗しました。",
    "画像の表示に失敗しました。",
    "ファイルが変更されています。\nこのコマンドは実行できません。",
    "コマンドを実行できません。",
    "一時ファイル作成に失敗しました。",
    "一時ファイル削除に失敗しました。",
    "ファイル作成に失敗しました。",
    "ファイル実行に失敗しました。",
    "ファイル削除に失敗しました。",
    "印刷プレビューに失敗しました。",
    "印刷実行に失敗しました。",
    "履歴の保存に失敗しました。",
    "履歴の実行に失敗しました。",
};

}  // namespace

const std::array<const char*, 6> kMouseInfoLines = {
    "ウィンドウを右ボタンでクリック\t= メニュー表示",
    "ウィンドウ上端にポインタ移動\t= ツールバー表示",
    "ホイールクリック/ホイール回転\t= 表示倍率変更",
    "画像を右ボタンでドラッグ\t\t= スクロール",
    "ウィンドウをダブルクリック\t\t= 全画面表示切替",
    "ウィンドウを左右同時クリック\t= 編集ウィンドウ切替",
};

const char* ErrorText(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kErrorTexts))) return "Error";
    return kErrorTexts[code];
}

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
