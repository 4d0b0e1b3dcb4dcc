// The frame an X window manager puts around a top-level window, asked for before the window
// is mapped, so that the first sizing already counts it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "view/viewport.h"

class QWidget;

namespace lumra::ui {

// Asks the window manager for the frame it will give window (whose native window is made
// here) and waits up to timeoutMs for the answer. false, out unchanged: not on X11, no
// window manager that answers such a request, or no answer in time.
bool RequestFrameExtents(QWidget* window, int timeoutMs, FrameExtents* out);

// The window manager's frame property (left, right, top, bottom in device pixels) in
// pixels of scale devicePixelRatio. false unless it holds four plausible widths.
bool FrameExtentsFromProperty(const uint32_t* values, size_t count, double devicePixelRatio, FrameExtents* out);

}  // namespace lumra::ui
