#include "ui/first_view_loader.h"

#include <QMetaObject>
#include <QTimer>
#include <system_error>
#include <utility>

#include "document/document.h"
#include "platform/file_io.h"
#include "shell/session.h"
#include "view/view_scaler.h"

namespace lumra::ui {

FirstViewLoader::FirstViewLoader(Session& session, QObject* parent) : QObject(parent), session_(session) {}

FirstViewLoader::~FirstViewLoader() {
    if (rowsWorker_.joinable()) rowsWorker_.join();
    Join();
    DropPictureAside(aside_);
}

void FirstViewLoader::Join() {
    if (worker_.joinable()) worker_.join();
}

void FirstViewLoader::JoinRows() {
    if (!rowsPending_) return;
    rowsPending_ = false;
    if (rowsWorker_.joinable()) rowsWorker_.join();
    if (rows_.empty()) {
        // Not made (the reduced decode failed): the background until the whole picture is in.
        rows_.assign(static_cast<size_t>(displayW_) * static_cast<size_t>(displayH_), 0xFF808080u);
    }
    auto* owned = new std::vector<uint32_t>(std::move(rows_));
    rows_ = std::vector<uint32_t>();
    preview_ = QImage(
        reinterpret_cast<const uchar*>(owned->data()), displayW_, displayH_,
        static_cast<qsizetype>(displayW_) * 4, QImage::Format_RGB32,
        [](void* p) { delete static_cast<std::vector<uint32_t>*>(p); }, owned);
}

const QImage* FirstViewLoader::readyPreview() {
    if (!pending_ || previewWaiting()) return nullptr;
    JoinRows();
    return &preview_;
}

bool FirstViewLoader::Open(const std::string& path, const FirstViewSizeFn& displaySize,
                           std::shared_ptr<FirstViewAhead> ahead) {
    Finish();
    if (!displaySize) return false;
    if (!ahead || !ahead->TakeHeader(path)) {
        ahead = std::make_shared<FirstViewAhead>(path);
        if (!ahead->TakeHeader(path)) return false;
    }
    const JpegFileInfo& header = ahead->header();
    int dw = 0, dh = 0;
    if (!displaySize(header.imageWidth, header.imageHeight, &dw, &dh)) return false;
    const int scale = FirstViewScale(header.imageWidth, header.imageHeight, dw, dh);
    if (scale == 1) return false;
    // Decoded at this scale unless it already began at another one; a finer one still covers.
    ahead->Start(dw, dh);
    const int aheadScale = ahead->Scale();
    if (aheadScale == 1 || aheadScale > scale) {
        ahead = std::make_shared<FirstViewAhead>(path);
        ahead->Start(dw, dh);
        if (!ahead->TakeHeader(path) || ahead->Scale() != scale) return false;
    }
    DecodedPicture standIn;
    if (!MakeStandIn(ahead->data().data(), ahead->data().size(), ahead->fileTime(), standIn)) return false;

    // The rows for the first paint are made as the reduced decode comes in. With nothing shown
    // before (the start) the window is laid out and shown meanwhile and painted once they are
    // made; otherwise the picture before stays until they are.
    const bool waitForRows = session_.picture.HasPicture();
    preview_ = QImage();
    rows_ = std::vector<uint32_t>();
    rowsPending_ = true;
    rowsMade_ = false;
    displayW_ = dw;
    displayH_ = dh;
    ahead_ = ahead;
    try {
        rowsWorker_ = std::thread([this, ahead] {
            ahead->ReduceToDisplay(displayW_, displayH_, rows_);
            rowsMade_ = true;
            QMetaObject::invokeMethod(this, [this] { emit previewReady(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        ahead->ReduceToDisplay(dw, dh, rows_);
        rowsMade_ = true;
    }
    if (waitForRows) JoinRows();
    fileTime_ = ahead->fileTime();
    SetPictureAside(session_, aside_);
    InstallDecoded(session_, path, std::move(standIn));
    standInBits_ = session_.picture.image.bits();
    path_ = path;
    pending_ = true;
    started_ = false;
    fullOk_ = false;
    load_ = session_.LoadOptions();
    QTimer::singleShot(100, this, [this] { StartDecode(); });
    return true;
}

void FirstViewLoader::Painted() {
    if (pending_ && !started_) QTimer::singleShot(0, this, [this] { StartDecode(); });
}

void FirstViewLoader::StartDecode() {
    if (!pending_ || started_) return;
    started_ = true;
    worker_ = std::thread([this, w = displayW_, h = displayH_] {
        DecodedPicture full;
        const std::vector<uint8_t>& data = ahead_->data();
        fullOk_ = DecodeOwnFormatData(data.data(), data.size(), load_, fileTime_, full);
        if (fullOk_ && full.image.width() >= w && full.image.height() >= h) {
            // The reduced copy the first paint after the swap takes, made here.
            std::vector<uint32_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h));
            if (BoxReduce(full.image, w, h, rows.data(), static_cast<size_t>(w) * sizeof(uint32_t))) {
                full.displayCopy = std::move(rows);
                full.displayW = w;
                full.displayH = h;
            }
        }
        full_ = std::move(full);
        QMetaObject::invokeMethod(this, [this] { Finish(); }, Qt::QueuedConnection);
    });
}

void FirstViewLoader::Finish() {
    if (!pending_) return;
    JoinRows();
    StartDecode();
    Join();
    pending_ = false;
    preview_ = QImage();
    ahead_.reset();
    DecodedPicture full = std::move(full_);
    full_ = DecodedPicture{};
    // Something else became the current picture meanwhile: neither the decode nor the
    // picture before is wanted.
    if (session_.picture.image.bits() != standInBits_ || session_.picture.path != path_) {
        DropPictureAside(aside_);
        return;
    }
    standInBits_ = nullptr;
    if (!fullOk_) {
        // As a failed open: the picture before comes back, unless a plug-in reads the file.
        RestorePictureAside(session_, aside_);
        const bool other = LoadWithPlugins(session_, path_, nullptr);
        emit failed(other);
        return;
    }
    DropPictureAside(aside_);
    // Same size, depth and facts as the stand-in: only the pixels change, and the flags may
    // learn of markers after the first scan.
    session_.picture.image = std::move(full.image);
    session_.picture.flags = full.flags;
    emit finished(std::move(full.displayCopy), full.displayW, full.displayH);
}

}  // namespace lumra::ui
