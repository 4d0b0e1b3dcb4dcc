// Opens a big JPEG in two steps: a DCT-reduced decode is shown at once and the whole
// picture, decoded on a thread of its own, takes its place when it is ready.
#pragma once

#include <QImage>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "document/document.h"
#include "formats/load_save.h"
#include "view/first_view.h"

namespace lumra {
struct Session;
}  // namespace lumra

namespace lumra::ui {

class FirstViewLoader : public QObject {
    Q_OBJECT
public:
    explicit FirstViewLoader(Session& session, QObject* parent = nullptr);
    ~FirstViewLoader() override;

    // Makes path the current picture through a quick first view: the session gets a stand-in
    // with the whole picture's facts, the previous picture and its history are kept aside until
    // the whole picture is in. False, with nothing changed, when the file is not a JPEG shown
    // reduced enough for that; the caller then loads it as usual.
    // The reduced decode goes on behind: preview() waits for it.
    // ahead: the file read and decoded reduced before the windows were up, taken when it is path's.
    bool Open(const std::string& path, const FirstViewSizeFn& displaySize,
              std::shared_ptr<FirstViewAhead> ahead = nullptr);
    // The whole picture is still being decoded.
    bool pending() const { return pending_; }
    // What stands for the picture's pixels while pending (top-down, the displayed size), once
    // made (on a thread of its own after Open); null before that and when not pending.
    const QImage* readyPreview();
    // Pending, and the preview is still being made.
    bool previewWaiting() const { return pending_ && rowsPending_ && !rowsMade_; }
    // Waits for the whole picture and puts it in place of the stand-in; nothing when not pending.
    void Finish();
    // The first view was painted: the whole picture's decode starts now, so that it does
    // not slow that paint down. It starts on its own a moment after Open when nothing is painted.
    void Painted();

signals:
    // readyPreview() has become available.
    void previewReady();
    // The whole picture replaced the stand-in. displayCopy: it reduced to the displayed size,
    // when made.
    void finished(std::vector<uint32_t> displayCopy, int displayW, int displayH);
    // The whole picture could not be decoded: the previous picture and its history are back
    // as a failed open leaves them, or (openedOtherwise) a plug-in read the file instead.
    void failed(bool openedOtherwise);

private:
    void Join();
    void JoinRows();
    void StartDecode();

    Session& session_;
    PictureAside aside_;  // the picture before, until the whole picture is in
    bool pending_ = false;
    QImage preview_;
    std::shared_ptr<FirstViewAhead> ahead_;  // the file's bytes and the reduced decode
    std::thread rowsWorker_;  // makes rows_ as the reduced decode comes in
    std::vector<uint32_t> rows_;
    bool rowsPending_ = false;
    std::atomic<bool> rowsMade_{false};  // the worker is done with rows_
    const void* standInBits_ = nullptr;
    std::string path_;
    std::thread worker_;
    DecodedPicture full_;  // written by the worker; read after Join
    bool fullOk_ = false;
    LImgSettings load_;
    int64_t fileTime_ = 0;
    int displayW_ = 0;
    int displayH_ = 0;
    bool started_ = false;
};

}  // namespace lumra::ui
