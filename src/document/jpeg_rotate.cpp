#include "document/jpeg_rotate.h"

namespace lumra {

bool CanRotateJpegInPlace(const Document& doc) {
    const CurrentPicture& pic = doc.picture;
    return pic.HasPicture() && doc.operationState == 0 &&
           pic.image.sourceFormat == kFormatJpeg && !pic.path.empty() && pic.orientation == 0;
}

bool RotateJpegInPlace(Document& doc, int direction, bool* loadFailed) {
    if (loadFailed) *loadFailed = false;
    if (!CanRotateJpegInPlace(doc) || (direction != 1 && direction != 3)) return false;
    // The transform's own options, whatever the save settings say.
    SaveRequest req = MakeSaveRequest(doc);
    req.orientation = direction;
    req.simg.format = kSaveJpegTrans;
    req.simg.jpgTrim = 0;
    req.simg.jMarker = 2;
    req.simg.progressive = 0;
    req.simg.gray = 0;
    const std::string path = doc.picture.path;
    if (!SavePictureWith(doc, path, req)) return false;
    if (LoadPicture(doc, path)) return true;
    if (loadFailed) *loadFailed = true;
    return false;
}

}  // namespace lumra
