#include "view/edit_panes.h"

#include <algorithm>

#include "shell/command_catalogue.h"
#include "shell/settings.h"

namespace lumra {

namespace {

constexpr int kBarLine = 20;

// One axis of the placement: inside the work area from its near edge.
int PlaceAxis(int pos, int size, int workPos, int workLen) {
    if (pos >= workPos) return std::min(pos, workPos + workLen - size);
    return workPos;
}

bool IsBrush(int kind) { return kind == 2 || kind == 3; }

// Operations that take the whole main tool bar while they run: the selection tool, text,
// the corrections and the filters.
bool TakesWholeToolBar(int kind) { return kind == 1 || kind == 4 || kind >= 8; }

}  // namespace

EditWindowPlacement PlaceEditWindow(const SwinSettings& swin, const ViewRect& work) {
    EditWindowPlacement p;
    p.maximised = (swin.max & 1) != 0;
    const int w = std::clamp(swin.w, 1, std::max(work.w, 1));
    const int h = std::clamp(swin.h, 1, std::max(work.h, 1));
    p.rect = ViewRect{PlaceAxis(swin.x, w, work.x, work.w), PlaceAxis(swin.y, h, work.y, work.h), w, h};
    return p;
}

ViewPoint PlaceHistoryWindow(int referenceLeft, int top, int monitorLeft) {
    return ViewPoint{std::max(referenceLeft - kHistoryWindowWidth, monitorLeft), top};
}

PaneRects LayoutPaneRects(int layout, int clientW, int clientH, int top) {
    PaneRects r;
    const int h = std::max(clientH - top, 0);
    switch (layout) {
        case kPanesSideBySide: {
            const int w = std::max(clientW / 2 - 1, 0);
            r.source = ViewRect{0, top, w, h};
            r.preview = ViewRect{clientW - w, top, w, h};
            r.sourceShown = r.previewShown = true;
            break;
        }
        case kPanePreviewOnly:
            r.preview = ViewRect{0, top, std::max(clientW, 0), h};
            r.previewShown = true;
            break;
        default:
            r.source = ViewRect{0, top, std::max(clientW, 0), h};
            r.sourceShown = true;
            break;
    }
    return r;
}

ScrollBarChoice ChooseScrollBars(int W, int H, int dw, int dh, int vw, int hh) {
    ScrollBarChoice c;
    if (dw <= W) {
        if (W - vw < dw) {
            // The picture just fits the width: a vertical bar would cover part of it.
            c.horizontal = c.vertical = H < dh;
        } else {
            c.vertical = H < dh;
        }
    } else {
        c.horizontal = true;
        c.vertical = H - hh < dh;
    }
    c.clientW = c.vertical ? W - vw : W;
    c.clientH = c.horizontal ? H - hh : H;
    return c;
}

ScrollBarRange BarRange(bool shown, int picture, int srcPos, int srcLen) {
    if (!shown) return ScrollBarRange{0, -1, 0, 0};
    return ScrollBarRange{0, picture - 1, srcLen, srcPos};
}

int BarTarget(BarInput input, int position, int srcLen, int picture, int trackPos) {
    int target = position;
    switch (input) {
        case BarInput::LineBack: target = position - kBarLine; break;
        case BarInput::LineForward: target = position + kBarLine; break;
        case BarInput::PageBack: target = position - srcLen; break;
        case BarInput::PageForward: target = position + srcLen; break;
        case BarInput::Track: target = trackPos; break;
        case BarInput::Top: target = 0; break;
        case BarInput::Bottom: target = picture - 1; break;
        case BarInput::ThumbPosition: return position;
    }
    return std::clamp(target, 0, std::max(picture - srcLen, 0));
}

int EditScrollShift(int pictureW, int pictureH, int screenW, int screenH) {
    return pictureW > screenW && pictureH > screenH ? 1 : 0;
}

int EditWheelCommand(int delta, bool ctrlOnly, int swWheel, int wheelRev, bool operationActive) {
    const WheelSettings s{swWheel & 1, swWheel & 1, wheelRev};
    const int id = WheelCommand(delta, ctrlOnly, false, s);
    if ((id == kCmdPrevious || id == kCmdNext) && operationActive) return 0;
    return id;
}

bool IsEditViewCommand(int id) {
    switch (id) {
        case kCmdFit:
        case kCmdActualSize:
        case kCmdZoomIn:
        case kCmdZoomOut:
        case kCmdToggleFit:
        case kCmdZoomStepIn:
        case kCmdZoomStepOut:
        case kCmdScrollLeft:
        case kCmdScrollRight:
        case kCmdScrollUp:
        case kCmdScrollDown:
        case kCmdFirst:
        case kCmdLast:
        case kCmdPrevious:
        case kCmdNext:
        case kCmdScrollBars:
        case kCmdSideBySide:
        case kCmdSourceView:
        case kCmdPreviewView:
        case kCmdSelectionView:
        case kCmdPreview:
        case kCmdEditWindow:
        case kCmdCenter:
            return true;
        default:
            return (id >= kCmdZoom1000 && id <= kCmdZoom10) || (id >= kCmdBgWhite && id <= kCmdBgBlack);
    }
}

bool BlockedDuringOperation(int id) {
    switch (id) {
        case kCmdFileList:
        case kCmdOptions:
        case kCmdHelp:
        case kCmdMouseHelp:
        case kCmdVersion:
        case kCmdFullScreen:
        case kCmdSlideShow:
        case kCmdFirst:
        case kCmdLast:
        case kCmdPrevious:
        case kCmdNext:
        case kCmdPreview:
        case kCmdEditWindow:
        case kCmdOpen:
        case kCmdReopen:
        case kCmdSaveAs:
        case kCmdSaveRotateRight:
        case kCmdSaveRotateLeft:
        case kCmdPaste:
        case kCmdDelete:
        case kCmdComment:
        case kCmdWallpaper:
        case kCmdPrint:
        case kCmdUndo:
        case kCmdRedo:
        case kCmdHistoryWindow:
        case kCmdDeselect:
        case kCmdInvert:
        case kCmdEqualize:
            return true;
        default:
            return (id >= kCmdTool1 && id <= kCmdTool8) || (id >= kCmdRotate90 && id <= kCmdFlipVertical);
    }
}

const std::vector<int>& EditToolBarLayout() {
    static const std::vector<int> layout = {
        kCmdOpen,          kCmdSaveAs,         kIdSeparator,     kCmdUndo,         kCmdRedo,
        kCmdHistoryWindow, kIdSeparator,       kEditMenuButton,  kTransformMenuButton, kQualityMenuButton,
        kIdSeparator,      kZoomFieldId,       kZoomMenuButton,  kCmdFit,          kCmdActualSize,
        kIdSeparator,      kCmdSideBySide,     kCmdSourceView,   kCmdPreviewView,  kCmdScrollBars,
        kCmdSelectionView, kIdSeparator,       kCmdFileList,     kCmdEditWindow,
    };
    return layout;
}

ToolButtonState EditToolButtonState(int id, const EditToolBarFacts& f) {
    ToolButtonState s;
    const int op = f.operationKind;
    if (op != 0 && TakesWholeToolBar(op)) {
        s.enabled = false;
    } else if (op != 0 && id >= kEditMenuButton && id <= kZoomMenuButton) {
        s.enabled = false;
    } else if (op != 0 && (id == kCmdOpen || id == kCmdSaveAs || id == kCmdFileList)) {
        s.enabled = false;
    } else {
        switch (id) {
            case kCmdUndo:
                // A brush tool's strokes have their own undo, the tool shows it.
                s.enabled = op == 0 && f.hasPicture && f.historyPosition != 0;
                break;
            case kCmdRedo:
                s.enabled = op == 0 && f.hasPicture && f.historyPosition + 1 < f.historyCount;
                break;
            case kCmdHistoryWindow:
                s.enabled = op == 0 && f.hasPicture && f.historyCount != 0;
                break;
            case kCmdSaveAs:
            case kCmdFileList:
            case kCmdFit:
            case kCmdActualSize:
            case kZoomFieldId:
            case kZoomMenuButton:
            case kEditMenuButton:
            case kTransformMenuButton:
            case kQualityMenuButton:
                s.enabled = f.hasPicture;
                break;
            case kCmdSelectionView:
                s.enabled = f.hasSelection;
                break;
            default:
                break;
        }
    }
    // A brush tool keeps undo and redo for its strokes.
    if (op != 0 && IsBrush(op) && id == kCmdUndo) s.enabled = f.strokeUndo;
    if (op != 0 && IsBrush(op) && id == kCmdRedo) s.enabled = f.strokeRedo;
    switch (id) {
        case kCmdSideBySide: s.checked = f.layout == kPanesSideBySide; break;
        case kCmdSourceView: s.checked = f.layout == kPaneSourceOnly; break;
        case kCmdPreviewView: s.checked = f.layout == kPanePreviewOnly; break;
        case kCmdScrollBars: s.checked = f.scrollBars; break;
        case kCmdSelectionView: s.checked = f.selectionShown; break;
        default: break;
    }
    return s;
}

}  // namespace lumra
