// Feeds arbitrary bytes to the tEXt walkers: the viewer's table, the comment reader and the
// comment rewrite.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/png/png_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumra::PngTextTable table;
    int error = 0;
    lumra::ReadPngTextsFromMemory(data, size, table, error);
    if (table.count > lumra::kPngTextEntries) __builtin_trap();
    for (int i = 0; i < table.count; ++i)
        if (table.keywords[i].size() > lumra::kPngKeywordMax || table.texts[i].size() > lumra::kPngTextMax)
            __builtin_trap();
    lumra::PngTextViewerRows(table);

    std::string comment;
    if (lumra::ReadPngCommentFromMemory(data, size, comment, error) && comment.size() > lumra::kPngCommentMax)
        __builtin_trap();

    for (const char* text : {"", "new\r\ncomment"}) {
        std::vector<uint8_t> out;
        bool write = false;
        size_t length = 0;
        if (!lumra::RewritePngCommentInMemory(data, size, text, out, write, length, error) || !write) continue;
        // The rewritten file carries exactly the new comment.
        std::string back;
        if (!lumra::ReadPngCommentFromMemory(out.data(), out.size(), back, error)) __builtin_trap();
        if (*text && back != "new\r\ncomment") __builtin_trap();
    }
    return 0;
}
