#include "shell/show_error.h"

namespace lumra {

const char* ShowErrorText(int code) {
    static const char* const kTexts[] = {
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
    if (code < 0 || code > 13) return "Error";
    return kTexts[code];
}

}  // namespace lumra
