#include "document/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "formats/bmp/bmp_codec.h"
#include "formats/codec_error.h"
#include "platform/file_io.h"
#include "shell/session.h"
#include "shell/show_error.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

ImageBuffer MakeImage(int w, int h, int bpp, int seed) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, bpp));
    for (int i = 0; i < 256; ++i)
        img.palette[i] = RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>(i * 7 + seed), 0};
    for (int y = 0; y < h; ++y)
        for (size_t x = 0; x < img.stride(); ++x)
            img.storedRow(y)[x] = static_cast<uint8_t>(x * 3 + y * 5 + seed);
    return img;
}

void WriteBmp(const std::string& path, const ImageBuffer& img) {
    DecoderContext ctx;
    ASSERT_TRUE(WriteBmpFile(path, img, img.bitCount(), false, 0, ctx)) << ctx.error;
}

std::vector<uint8_t> BmpBytes(const ImageBuffer& img) {
    DecoderContext ctx;
    std::vector<uint8_t> out;
    EXPECT_TRUE(EncodeBmp(img, img.bitCount(), false, 0, out, ctx));
    return out;
}

bool SamePixels(const ImageBuffer& a, const ImageBuffer& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.bitCount() != b.bitCount())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (size_t x = 0; x < PaddedRowBytes(a.width(), a.bitCount()); ++x)
            if (a.storedRow(y)[x] != b.storedRow(y)[x]) return false;
    return true;
}

// A session whose temporary folder and trash live in a test folder, recording what it
// asked of the user interface.
struct Fixture {
    TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.File("tmp")};
    test::ScopedEnv data{"XDG_DATA_HOME", dir.File("data")};
    test::ScopedEnv home{"HOME", dir.File("home")};
    Session s;
    std::vector<std::string> events;
    std::vector<int> errors;
    std::vector<int> codecErrors;
    std::vector<std::string> saved;

    Fixture() {
        fs::create_directories(dir.File("tmp"));
        fs::create_directories(dir.File("home"));
        s.ui.setTitle = [this](const std::string& t) { events.push_back("title:" + t); };
        s.ui.setWaitCursor = [this](bool w) { events.push_back(w ? "wait" : "arrow"); };
        s.ui.showError = [this](int code) { errors.push_back(code); };
        s.ui.reportCodecError = [this](int code, const std::string&) { codecErrors.push_back(code); };
        s.ui.savedFile = [this](const std::string& p) { saved.push_back(p); };
    }
    // Temporary files other than the history's own entries.
    size_t TempFiles() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir.File("tmp")))
            n += std::none_of(s.history.files.begin(), s.history.files.end(),
                              [&](const HistoryStore::Entry& h) { return fs::path(h.path) == e.path(); });
        return n;
    }
    std::vector<std::string> TrashFiles() const {
        std::vector<std::string> names;
        if (!fs::exists(dir.File("data/Trash/files"))) return names;
        for (const auto& e : fs::directory_iterator(dir.File("data/Trash/files")))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(LoadPicture, BmpBecomesTheCurrentPicture) {
    Fixture f;
    ImageBuffer img = MakeImage(13, 7, 24, 1);
    img.header.biXPelsPerMeter = 2835;
    img.header.biYPelsPerMeter = -5;  // negative resolution is stored as 0
    const std::string path = f.dir.File("a b.bmp");
    WriteBmp(path, img);
    f.s.history.position = f.s.history.entries = 3;
    f.s.picture.flags.hasComment = true;
    f.s.picture.orientation = 2;
    f.s.picture.saveTransparent = true;

    ASSERT_TRUE(LoadPicture(f.s, path));
    const CurrentPicture& pic = f.s.picture;
    EXPECT_TRUE(SamePixels(pic.image, img));
    EXPECT_EQ(pic.path, path);
    EXPECT_EQ(pic.fileName, "a b.bmp");
    EXPECT_EQ(pic.xResolution, 2835);
    EXPECT_EQ(pic.yResolution, 0);
    EXPECT_EQ(pic.image.header.biYPelsPerMeter, 0);
    EXPECT_EQ(pic.image.sourceFormat, kFormatBmp);
    EXPECT_EQ(pic.image.fileSize, static_cast<int32_t>(fs::file_size(path)));
    EXPECT_EQ(pic.image.fileTime, FileModifiedTime(path));
    EXPECT_EQ(pic.flags, PictureFlags{});
    EXPECT_EQ(pic.orientation, 0);
    EXPECT_FALSE(pic.saveTransparent);
    EXPECT_EQ(f.s.history.entries, 0);
    EXPECT_FALSE(f.s.history.IsModified());
    EXPECT_EQ(f.events, (std::vector<std::string>{"title:wait...", "wait", "arrow"}));
    EXPECT_TRUE(f.errors.empty());

    // With an edit tool active the wait cursor is left alone, the arrow still comes back.
    f.events.clear();
    f.s.operationState = 3;
    ASSERT_TRUE(LoadPicture(f.s, path));
    EXPECT_EQ(f.events, (std::vector<std::string>{"title:wait...", "arrow"}));
}

TEST(LoadPicture, FailuresKeepThePreviousPicture) {
    Fixture f;
    const ImageBuffer img = MakeImage(5, 4, 8, 2);
    const std::string good = f.dir.File("good.bmp");
    WriteBmp(good, img);
    ASSERT_TRUE(LoadPicture(f.s, good));
    const PictureFlags flags{true, false, true, true};
    f.s.picture.flags = flags;

    // A PNG signature wins over the .jpg name; the broken body fails.
    const std::string png = f.dir.File("really.jpg");
    test::WriteFile(png, {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 1, 'X'});
    EXPECT_EQ(DetectFormat(png), kFormatPng);

    test::WriteFile(f.dir.File("empty.bmp"), {});
    test::WriteFile(f.dir.File("unknown.bmp"), {'I', 'I', 0x2B, 0});
    test::WriteFile(f.dir.File("short.bmp"), {'B', 'M', 1, 2, 3});
    for (const std::string& bad : {png, f.dir.File("empty.bmp"), f.dir.File("unknown.bmp"),
                                   f.dir.File("short.bmp"), f.dir.File("missing.bmp"), f.dir.path()}) {
        SCOPED_TRACE(bad);
        f.events.clear();
        EXPECT_FALSE(LoadPicture(f.s, bad));
        EXPECT_EQ(f.s.picture.flags, flags);
        EXPECT_EQ(f.s.picture.path, good);
        EXPECT_TRUE(SamePixels(f.s.picture.image, img));
        EXPECT_EQ(f.events.back(), "arrow");
        EXPECT_TRUE(f.errors.empty());  // the caller shows the load failure
    }
}

TEST(LoadPicture, PluginFolderMustExist) {
    Fixture f;
    test::WriteFile(f.dir.File("odd.xyz"), {'x', 'y', 'z'});
    f.s.settings.path.spi = f.dir.File("no-such-folder");
    EXPECT_FALSE(LoadWithPlugins(f.s, f.dir.File("odd.xyz"), nullptr));
    f.s.settings.path.spi = f.dir.path();
    EXPECT_FALSE(LoadPicture(f.s, f.dir.File("odd.xyz")));
    EXPECT_FALSE(f.s.picture.HasPicture());
}

TEST(LoadFormat, PreviewModeLeavesTheCurrentPictureAlone) {
    Fixture f;
    const ImageBuffer a = MakeImage(6, 6, 24, 3);
    const ImageBuffer b = MakeImage(9, 2, 8, 4);
    WriteBmp(f.dir.File("a.bmp"), a);
    WriteBmp(f.dir.File("b.bmp"), b);
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("a.bmp")));
    ImageBuffer preview;
    int64_t size = 0;
    ASSERT_TRUE(LoadFormat(f.s, f.dir.File("b.bmp"), kFormatBmp, &preview, &size));
    EXPECT_TRUE(SamePixels(preview, b));
    EXPECT_EQ(size, static_cast<int64_t>(fs::file_size(f.dir.File("b.bmp"))));
    EXPECT_TRUE(SamePixels(f.s.picture.image, a));
    EXPECT_EQ(f.s.picture.fileName, "a.bmp");
}

TEST(SetPictureInfo, JpegTransOnlyForJpegSources) {
    Fixture f;
    WriteBmp(f.dir.File("a.bmp"), MakeImage(3, 3, 24, 5));
    f.s.settings.simg.format = kSaveJpegTrans;
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("a.bmp")));
    EXPECT_EQ(f.s.settings.simg.format, kSaveJpeg);

    // A JPEG picture does not switch it back, and keeps JPEG/TRANS when chosen.
    ImageBuffer jpeg = MakeImage(3, 3, 24, 6);
    jpeg.sourceFormat = kFormatJpeg;
    InstallPicture(f.s, jpeg.Clone(), false, true);
    const std::string path = f.dir.File("p.jpg");
    SetPictureInfo(f.s, &path, HistoryMode::kClear, "");
    EXPECT_EQ(f.s.settings.simg.format, kSaveJpeg);
    f.s.settings.simg.format = kSaveJpegTrans;
    InstallPicture(f.s, std::move(jpeg), false, true);
    SetPictureInfo(f.s, &path, HistoryMode::kClear, "");
    EXPECT_EQ(f.s.settings.simg.format, kSaveJpegTrans);

    // Other formats are left as they are.
    f.s.settings.simg.format = kSavePng;
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("a.bmp")));
    EXPECT_EQ(f.s.settings.simg.format, kSavePng);
}

TEST(SetPictureInfo, HistoryModes) {
    Fixture f;
    WriteBmp(f.dir.File("a.bmp"), MakeImage(3, 3, 24, 5));
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("a.bmp")));
    f.s.picture.orientation = 1;
    f.s.picture.saveTransparent = true;

    // An edit keeps the path and adds an entry after the original.
    InstallPicture(f.s, MakeImage(3, 3, 24, 9), true, false);
    SetPictureInfo(f.s, nullptr, HistoryMode::kAddEntry, "明るさ");
    EXPECT_EQ(f.s.picture.path, f.dir.File("a.bmp"));
    EXPECT_EQ(f.s.history.position, 1);
    EXPECT_EQ(f.s.history.entries, 2);
    EXPECT_TRUE(f.s.history.IsModified());
    EXPECT_EQ(f.s.picture.orientation, 0);
    EXPECT_FALSE(f.s.picture.saveTransparent);

    InstallPicture(f.s, MakeImage(3, 3, 24, 10), true, false);
    SetPictureInfo(f.s, nullptr, HistoryMode::kAddEntry, "ぼかし");
    EXPECT_EQ(f.s.history.entries, 3);
    EXPECT_EQ(f.s.history.position, 2);

    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("a.bmp")));
    EXPECT_EQ(f.s.history.entries, 0);
    EXPECT_FALSE(f.s.history.IsModified());
}

TEST(PastePicture, ClipHasNoPath) {
    Fixture f;
    WriteBmp(f.dir.File("a.bmp"), MakeImage(3, 3, 24, 5));
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("a.bmp")));
    f.s.picture.flags = PictureFlags{true, true, true, true};
    f.s.history.position = 2;
    f.s.history.entries = 3;

    const ImageBuffer clip = MakeImage(7, 5, 8, 11);
    const std::vector<uint8_t> dib = WriteClipboardDib(clip);
    ASSERT_TRUE(PastePicture(f.s, dib.data(), dib.size()));
    EXPECT_TRUE(SamePixels(f.s.picture.image, clip));
    EXPECT_EQ(f.s.picture.fileName, "clip");
    EXPECT_TRUE(f.s.picture.path.empty());
    EXPECT_EQ(f.s.picture.flags, PictureFlags{});
    EXPECT_EQ(f.s.history.entries, 0);
    EXPECT_FALSE(f.s.history.IsModified());

    // A broken block changes nothing.
    const std::vector<uint8_t> junk(20, 0xAB);
    EXPECT_FALSE(PastePicture(f.s, junk.data(), junk.size()));
    EXPECT_FALSE(PastePicture(f.s, nullptr, 0));
    EXPECT_TRUE(SamePixels(f.s.picture.image, clip));
    EXPECT_EQ(f.s.picture.fileName, "clip");
}

TEST(SavePicture, OldDestinationGoesToTheTrash) {
    Fixture f;
    const ImageBuffer img = MakeImage(11, 6, 24, 12);
    WriteBmp(f.dir.File("in.bmp"), img);
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("in.bmp")));
    InstallPicture(f.s, MakeImage(11, 6, 24, 13), true, false);
    SetPictureInfo(f.s, nullptr, HistoryMode::kAddEntry, "edit");
    ASSERT_TRUE(f.s.history.IsModified());

    const std::string dest = f.dir.File("out.bmp");
    test::WriteText(dest, "the old file");
    f.events.clear();
    ASSERT_TRUE(SavePicture(f.s, dest));
    EXPECT_EQ(test::ReadFile(dest), BmpBytes(f.s.picture.image));
    EXPECT_FALSE(f.s.history.IsModified());
    EXPECT_EQ(f.saved, std::vector<std::string>{dest});
    EXPECT_TRUE(f.errors.empty());
    EXPECT_EQ(f.events.front(), "title:wait...");
    EXPECT_EQ(f.events.back(), "arrow");
    EXPECT_EQ(f.TempFiles(), 0u);  // the temporary file is gone again

    EXPECT_EQ(f.TrashFiles(), std::vector<std::string>{"out.bmp"});
    EXPECT_EQ(test::ReadText(f.dir.File("data/Trash/files/out.bmp")), "the old file");
    const std::string info = test::ReadText(f.dir.File("data/Trash/info/out.bmp.trashinfo"));
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + dest + "\nDeletionDate=", 0), 0u) << info;

    // A new destination needs no trash.
    ASSERT_TRUE(SavePicture(f.s, f.dir.File("new.bmp")));
    EXPECT_EQ(f.TrashFiles().size(), 1u);
}

TEST(SavePicture, TrialSaveIsCopiedWhileSettingsMatch) {
    Fixture f;
    WriteBmp(f.dir.File("in.bmp"), MakeImage(8, 8, 24, 14));
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("in.bmp")));
    int previews = 0;
    f.s.ui.trialPreviewChanged = [&] { ++previews; };

    ASSERT_TRUE(TrialSave(f.s));
    const TrialSaveRecord& t = f.s.picture.trial;
    ASSERT_TRUE(t.valid && t.previewShown);
    EXPECT_EQ(previews, 1);
    EXPECT_TRUE(SamePixels(t.preview, f.s.picture.image));
    EXPECT_EQ(t.size, static_cast<int64_t>(fs::file_size(t.tempPath)));
    EXPECT_EQ(fs::path(t.tempPath).parent_path(), fs::path(f.dir.File("tmp")));
    EXPECT_EQ(fs::path(t.tempPath).filename().string().rfind("tmp", 0), 0u);
    const std::string temp = t.tempPath;

    // Nothing changed: no second encode.
    ASSERT_TRUE(TrialSave(f.s));
    EXPECT_EQ(t.tempPath, temp);
    EXPECT_EQ(previews, 1);

    // Mark the trial file: saving copies it instead of encoding again, twice.
    const std::vector<uint8_t> marker = BmpBytes(MakeImage(2, 2, 24, 99));
    test::WriteFile(temp, marker);
    ASSERT_TRUE(SavePicture(f.s, f.dir.File("one.bmp")));
    ASSERT_TRUE(SavePicture(f.s, f.dir.File("two.bmp")));
    EXPECT_EQ(test::ReadFile(f.dir.File("one.bmp")), marker);
    EXPECT_EQ(test::ReadFile(f.dir.File("two.bmp")), marker);
    EXPECT_TRUE(FileExists(temp));

    // Any recorded setting that changes makes the next save encode afresh.
    f.s.picture.writeComment = true;
    ASSERT_TRUE(SavePicture(f.s, f.dir.File("three.bmp")));
    EXPECT_EQ(test::ReadFile(f.dir.File("three.bmp")), BmpBytes(f.s.picture.image));
    EXPECT_FALSE(FileExists(temp));
    EXPECT_FALSE(f.s.picture.trial.valid);
    EXPECT_EQ(f.TempFiles(), 0u);
    EXPECT_TRUE(f.errors.empty());
}

TEST(SavePicture, TrialRecordComparesEverySetting) {
    Fixture f;
    WriteBmp(f.dir.File("in.bmp"), MakeImage(4, 4, 24, 15));
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("in.bmp")));
    ASSERT_TRUE(EncodeToTempFile(f.s));
    EXPECT_TRUE(TrialSaveMatches(f.s));
    const Settings base = f.s.settings;
    std::vector<std::function<void(Session&)>> changes = {
        [](Session& s) { s.settings.simg.depth = 8; },
        [](Session& s) { s.settings.simg.dither = 3; },
        [](Session& s) { s.settings.simg.alphaB = 0; },
        [](Session& s) { s.settings.simg.jpgLmtVal = 50; },
        [](Session& s) { s.settings.limg.bgG = 1; },
        [](Session& s) { s.settings.limg.dispGam = 1000; },
        [](Session& s) { s.picture.saveTransparent = true; },
        [](Session& s) { s.picture.commentText = "新しい"; },
        [](Session& s) { s.picture.orientation = 4; },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(i);
        changes[i](f.s);
        EXPECT_FALSE(TrialSaveMatches(f.s));
        f.s.settings = base;
        f.s.picture.saveTransparent = false;
        f.s.picture.commentText.clear();
        f.s.picture.orientation = 0;
        EXPECT_TRUE(TrialSaveMatches(f.s));
    }
    // A new picture ends the trial and its file.
    const std::string temp = f.s.picture.trial.tempPath;
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("in.bmp")));
    EXPECT_FALSE(TrialSaveMatches(f.s));
    EXPECT_FALSE(FileExists(temp));
    DiscardTrialSave(f.s);
    EXPECT_TRUE(f.errors.empty());
}

TEST(SavePicture, NothingOwnedIsLostOnFailure) {
    Fixture f;
    WriteBmp(f.dir.File("in.bmp"), MakeImage(5, 5, 24, 16));
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("in.bmp")));
    InstallPicture(f.s, MakeImage(5, 5, 24, 17), true, false);
    SetPictureInfo(f.s, nullptr, HistoryMode::kAddEntry, "edit");
    const std::string dest = f.dir.File("dest.bmp");
    test::WriteText(dest, "precious");

    {
        // The trash cannot be made: the destination is not overwritten.
        test::WriteText(f.dir.File("blocker"), "");
        test::ScopedEnv data("XDG_DATA_HOME", f.dir.File("blocker"));
        EXPECT_FALSE(SavePicture(f.s, dest));
        EXPECT_EQ(test::ReadText(dest), "precious");
        EXPECT_EQ(f.errors, std::vector<int>{kErrFileCreate});
        EXPECT_TRUE(f.s.history.IsModified());
        EXPECT_TRUE(f.saved.empty());
        EXPECT_EQ(f.TempFiles(), 0u);
    }

    // An encoder that fails reports its error before anything is touched.
    f.errors.clear();
    f.s.settings.simg.format = kSaveJpegTrans;  // needs a JPEG source
    EXPECT_FALSE(SavePicture(f.s, dest));
    ASSERT_EQ(f.codecErrors.size(), 1u);
    EXPECT_EQ(f.codecErrors[0], kCodecOk);  // the library's words, not a codec message
    EXPECT_TRUE(f.errors.empty());
    EXPECT_EQ(test::ReadText(dest), "precious");
    EXPECT_TRUE(f.TrashFiles().empty());
    EXPECT_EQ(f.TempFiles(), 0u);
    EXPECT_FALSE(f.s.picture.trial.valid);

    // A folder in the way is neither trashed nor replaced.
    f.s.settings.simg.format = kSaveBmp;
    fs::create_directories(f.dir.File("folder.bmp/inside"));
    EXPECT_FALSE(SavePicture(f.s, f.dir.File("folder.bmp")));
    EXPECT_TRUE(fs::is_directory(f.dir.File("folder.bmp/inside")));
    EXPECT_EQ(f.errors, std::vector<int>{kErrFileCreate});

    // A missing folder.
    f.errors.clear();
    EXPECT_FALSE(SavePicture(f.s, f.dir.File("no/such/dest.bmp")));
    EXPECT_EQ(f.errors, std::vector<int>{kErrFileCreate});
    EXPECT_EQ(f.TempFiles(), 0u);
}

TEST(SavePicture, WithoutHooksOrPicture) {
    TempDir dir;
    test::ScopedEnv tmp("TMPDIR", dir.path());
    Session s;  // no user interface at all
    EXPECT_FALSE(SavePicture(s, dir.File("x.bmp")));
    EXPECT_FALSE(TrialSave(s));
    EXPECT_FALSE(FileExists(dir.File("x.bmp")));
    InstallPicture(s, MakeImage(2, 3, 8, 1), false, true);
    SetPictureInfo(s, nullptr, HistoryMode::kClear, "");
    s.settings.simg.depth = 8;
    ASSERT_TRUE(SavePicture(s, dir.File("x.bmp")));
    EXPECT_EQ(test::ReadFile(dir.File("x.bmp")), BmpBytes(s.picture.image));
}

TEST(EncodePicture, BmpDepthsAndUnknownFormats) {
    TempDir dir;
    const ImageBuffer img = MakeImage(6, 3, 8, 21);
    SaveRequest req;
    for (const auto& [depth, bits] : std::vector<std::pair<int, int>>{{8, 8}, {24, 24}}) {
        req.simg.depth = depth;
        DecoderContext ctx;
        const std::string path = dir.File(std::to_string(depth).append(".bmp"));
        ASSERT_TRUE(EncodePicture(path, img, req, ctx)) << ctx.error;
        DecoderContext back;
        ASSERT_TRUE(DecodeFile(path, kFormatBmp, LImgSettings{}, back));
        EXPECT_EQ(back.image.bitCount(), bits);
    }
    req.simg.format = 17;
    DecoderContext ctx;
    EXPECT_FALSE(EncodePicture(dir.File("x"), img, req, ctx));
    EXPECT_EQ(ctx.error, kCodecUnsupported);
    req.simg.format = kSaveBmp;
    DecoderContext empty;
    EXPECT_FALSE(EncodePicture(dir.File("y"), ImageBuffer{}, req, empty));
    EXPECT_NE(empty.error, kCodecOk);
}

}  // namespace
}  // namespace lumra
