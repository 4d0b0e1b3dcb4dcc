#include "ui/x11_frame.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cmath>

#if LUMRA_HAVE_XCB && QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#endif

namespace lumra::ui {

namespace {

constexpr uint32_t kMaxExtent = 4096;  // wider than any frame: a broken answer

}  // namespace

bool FrameExtentsFromProperty(const uint32_t* values, size_t count, double devicePixelRatio, FrameExtents* out) {
    if (!values || count != 4 || !(devicePixelRatio > 0)) return false;
    for (size_t i = 0; i < count; ++i) {
        if (values[i] > kMaxExtent) return false;
    }
    const auto scaled = [devicePixelRatio](uint32_t v) {
        return static_cast<int>(std::lround(static_cast<double>(v) / devicePixelRatio));
    };
    out->left = scaled(values[0]);
    out->right = scaled(values[1]);
    out->top = scaled(values[2]);
    out->bottom = scaled(values[3]);
    return true;
}

#if LUMRA_HAVE_XCB && QT_CONFIG(xcb)

namespace {

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

// Errors come back here rather than into Qt's event queue.
Reply<xcb_get_property_reply_t> GetProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                            xcb_atom_t type, uint32_t offset, uint32_t length) {
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, offset, length), &error));
    std::free(error);
    return reply;
}

xcb_window_t WindowProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    const auto reply = GetProperty(c, w, property, XCB_ATOM_WINDOW, 0, 1);
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) != 4) {
        return XCB_WINDOW_NONE;
    }
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// A window manager that has gone leaves its properties on the root behind, not its window.
bool WindowManagerRuns(xcb_connection_t* c, xcb_window_t root, xcb_atom_t check) {
    const xcb_window_t w = WindowProperty(c, root, check);
    return w != XCB_WINDOW_NONE && WindowProperty(c, w, check) == w;
}

bool ListsAtom(xcb_connection_t* c, xcb_window_t root, xcb_atom_t list, xcb_atom_t wanted) {
    constexpr uint32_t kChunk = 1024;  // atoms per read
    for (uint32_t offset = 0;; offset += kChunk) {
        const auto reply = GetProperty(c, root, list, XCB_ATOM_ATOM, offset, kChunk);
        if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) return false;
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        const int n = xcb_get_property_value_length(reply.get()) / 4;
        for (int i = 0; i < n; ++i) {
            if (atoms[i] == wanted) return true;
        }
        if (reply->bytes_after == 0 || n == 0) return false;
    }
}

}  // namespace

bool RequestFrameExtents(QWidget* window, int timeoutMs, FrameExtents* out) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window || !out) return false;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const QWindow* handle = window->windowHandle();
    if (!id || !handle) return false;

    const char* const names[] = {"_NET_SUPPORTED", "_NET_REQUEST_FRAME_EXTENTS", "_NET_FRAME_EXTENTS",
                                 "_NET_SUPPORTING_WM_CHECK"};
    constexpr int kAtoms = 4;
    xcb_intern_atom_cookie_t cookies[kAtoms];
    for (int i = 0; i < kAtoms; ++i) {
        cookies[i] = xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    }
    xcb_atom_t atoms[kAtoms] = {};
    for (int i = 0; i < kAtoms; ++i) {
        xcb_generic_error_t* error = nullptr;
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], &error));
        std::free(error);
        atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    const xcb_atom_t supported = atoms[0], request = atoms[1], extents = atoms[2], check = atoms[3];
    for (const xcb_atom_t atom : atoms) {
        if (atom == XCB_ATOM_NONE) return false;
    }

    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, id), &error));
    std::free(error);
    if (!geometry) return false;
    const xcb_window_t root = geometry->root;
    if (!WindowManagerRuns(c, root, check) || !ListsAtom(c, root, supported, request)) return false;

    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    // The answer is a property on our window; its change event is Qt's to read, so look.
    const double ratio = handle->devicePixelRatio();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto reply = GetProperty(c, id, extents, XCB_ATOM_CARDINAL, 0, 4);
        if (reply && reply->type == XCB_ATOM_CARDINAL && reply->format == 32) {
            const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
            const int bytes = xcb_get_property_value_length(reply.get());
            return FrameExtentsFromProperty(values, static_cast<size_t>(bytes / 4), ratio, out);
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

#else

bool RequestFrameExtents(QWidget*, int, FrameExtents*) { return false; }

#endif

}  // namespace lumra::ui
