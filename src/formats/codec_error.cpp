#include "formats/codec_error.h"

namespace lumra {

const char* CodecErrorText(int code) {
    static const char* const kTexts[] = {
        "",
        "メモリを確保できません。",
        "未対応の形式です。",
        "コメントを編集できません。",
        "ファイルから読み取りに失敗しました。",
        "ファイル作成に失敗しました。",
        "ファイル情報が不適切です。",
        "画像の保存に失敗しました。",
        "PNG形式を識別できません。",
        "ファイル情報が不適切です。(CRC)",
        "ファイル情報が不適切です。(Length/Chunk)",
        "ファイル情報が不適切です。(Length/IHDR)",
        "ファイル情報が不適切です。(Chunk Type/IHDR)",
        "ファイル情報が不適切です。(Width,Height/IHDR)",
        "ファイル情報が不適切です。(Color type/IHDR)",
        "ファイル情報が不適切です。(Bit depth/IHDR)",
        "ファイル情報が不適切です。(Compression method/IHDR)",
        "ファイル情報が不適切です。(Filter method/IHDR)",
        "ファイル情報が不適切です。(Interlace method/IHDR)",
        "ファイル情報が不適切です。(Length/PLTE)",
        "ファイル情報が不適切です。(Order/Chunk)",
        "ファイル情報が不適切です。(Critical chunks)",
        "ファイル情報が不適切です。(Length/IDAT)",
        "画像の表示に失敗しました。(zlib)",
        "ファイルへの保存に失敗しました。(zlib)",
    };
    if (code < 1 || code > 24) return "";
    return kTexts[code];
}

}  // namespace lumra
