#pragma once

#include <glib-object.h>
#include <memory>

namespace tunora {

// Owning pointers for GLib, GObject and GStreamer objects: one unref, always.
struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

struct GErrorDeleter {
    void operator()(GError* error) const {
        if (error != nullptr) {
            g_error_free(error);
        }
    }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct GVariantUnref {
    void operator()(GVariant* variant) const {
        if (variant != nullptr) {
            g_variant_unref(variant);
        }
    }
};
using GVariantPtr = std::unique_ptr<GVariant, GVariantUnref>;

struct GMainLoopUnref {
    void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};
using MainLoopPtr = std::unique_ptr<GMainLoop, GMainLoopUnref>;

// A source of our own: taken off its main context (if attached) and released.
struct GSourceDestroy {
    void operator()(GSource* source) const {
        g_source_destroy(source);
        g_source_unref(source);
    }
};
using GSourcePtr = std::unique_ptr<GSource, GSourceDestroy>;

// A GLib main-loop source id, removed when this goes away or is reset.
class GSourceId {
  public:
    GSourceId() = default;
    ~GSourceId() { reset(); }
    GSourceId(const GSourceId&) = delete;
    GSourceId& operator=(const GSourceId&) = delete;

    void reset(guint id = 0) {
        if (id_ != 0) {
            g_source_remove(id_);
        }
        id_ = id;
    }
    // For sources that end themselves (a callback returning G_SOURCE_REMOVE).
    void forget() { id_ = 0; }
    explicit operator bool() const { return id_ != 0; }

  private:
    guint id_ = 0;
};

} // namespace tunora
