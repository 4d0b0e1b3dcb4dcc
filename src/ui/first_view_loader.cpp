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
    if (rows_.rows.empty()) {
        // Not made (it cannot happen with the sizes checked): the background instead.
        rows_.rows.assign(static_cast<size_t>(rows_.displayW) * static_cast<size_t>(rows_.displayH), 0xFF808080u);
    }
    auto* owned = new std::vector<uint32_t>(std::move(rows_.rows));
    preview_ = QImage(
        reinterpret_cast<const uchar*>(owned->data()), rows_.displayW, rows_.displayH,
        static_cast<qsizetype>(rows_.displayW) * 4, QImage::Format_RGB32,
        [](void* p) { delete static_cast<std::vector<uint32_t>*>(p); }, owned);
    rows_ = FirstView{};
}

const QImage& FirstViewLoader::preview() {
    JoinRows();
    return preview_;
}

bool FirstViewLoader::Open(const std::string& path, const FirstViewSizeFn& displaySize, FirstViewAhead* ahead) {
    Finish();
    if (!displaySize) return false;
    std::vector<uint8_t> data;
    int64_t fileTime = 0;
    ReducedJpeg reduced;
    if (!ahead || !ahead->Take(path, data, fileTime, reduced)) {
        if (!ReadWholeFile(path, data)) return false;
        fileTime = FileModifiedTime(path);
    }
    FirstView view;
    if (!DecodeFirstView(data.data(), data.size(), fileTime, displaySize, view, &reduced, true)) return false;

    // The rows for the first paint are made while the window is laid out and shown.
    preview_ = QImage();
    rows_ = FirstView{};
    rows_.reduced = std::move(view.reduced);
    rows_.displayW = view.displayW;
    rows_.displayH = view.displayH;
    rowsPending_ = true;
    try {
        rowsWorker_ = std::thread([this] { MakeFirstViewRows(rows_); });
    } catch (const std::system_error&) {
        MakeFirstViewRows(rows_);
    }
    fileTime_ = view.standIn.image.fileTime;
    displayW_ = view.displayW;
    displayH_ = view.displayH;
    SetPictureAside(session_, aside_);
    InstallDecoded(session_, path, std::move(view.standIn));
    standInBits_ = session_.picture.image.bits();
    path_ = path;
    data_ = std::move(data);
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
        fullOk_ = DecodeOwnFormatData(data_.data(), data_.size(), load_, fileTime_, full);
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
    data_ = std::vector<uint8_t>();
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
    // Same size, depth and facts as the stand-in: only the pixels change.
    session_.picture.image = std::move(full.image);
    emit finished(std::move(full.displayCopy), full.displayW, full.displayH);
}

}  // namespace lumra::ui
