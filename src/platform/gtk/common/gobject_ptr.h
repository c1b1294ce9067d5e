// SPDX-License-Identifier: GPL-3.0-or-later
// Owning references to GObjects (and other GLib-counted things), released on scope exit.
#pragma once

#include <glib-object.h>

#include <memory>
#include <utility>

namespace larkwend::gtk {

template <typename T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  // Adopts a reference the caller owns (a "transfer full" result).
  static GObjectPtr Adopt(T* p) {
    GObjectPtr r;
    r.p_ = p;
    return r;
  }
  // Takes a new reference (a "transfer none" result that must be kept).
  static GObjectPtr Retain(T* p) {
    if (p) g_object_ref(p);
    return Adopt(p);
  }
  GObjectPtr(const GObjectPtr& o) : p_(o.p_) {
    if (p_) g_object_ref(p_);
  }
  GObjectPtr(GObjectPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~GObjectPtr() { reset(); }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) g_object_unref(p);
  }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// Frees a g_malloc'd string (or any g_free-able block) on scope exit.
struct GFreeDeleter {
  void operator()(void* p) const { g_free(p); }
};

// Gives back one reference to a GVariant on scope exit.
struct GVariantDeleter {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
using GVariantPtr = std::unique_ptr<GVariant, GVariantDeleter>;

}  // namespace larkwend::gtk
