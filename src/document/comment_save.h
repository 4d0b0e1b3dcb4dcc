// The comment of the current picture: viewing and saving the one in its file, and the
// pending comment the encoders write.
#pragma once

#include <string>

#include "document/document.h"
#include "formats/comment_edit.h"

namespace lumra {

// Whether the comment editor applies to the current picture (PNG or JPEG).
bool CommentEditAvailable(const Document& doc);

// The current file's comment as UTF-8 with LF line ends. False with the ShowError code when
// the file is gone or cannot be read (kErrRead).
bool ReadCurrentComment(const Document& doc, std::string& utf8, int& showError);

// Saves an edited comment (UTF-8, LF or CR LF line ends; the first 10000 characters) into the
// current file: rewritten into a temporary file, the old file to the trash, the new one
// copied into place. Failures are shown through the document's hooks. The picture's comment
// flag follows the result.
bool SaveEditedComment(Document& doc, const std::string& utf8);

// OK in the comment creation dialog: the pending comment, switched on when not empty.
void SetPendingComment(Document& doc, const std::string& utf8);

}  // namespace lumra
