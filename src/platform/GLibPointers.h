#pragma once

#include <glib-object.h>
#include <glib.h>

#include <memory>

// Owning pointers for what GLib and the libraries built on it hand out, so that every path out
// of a scope releases it: GLibPtr<T, release> calls release once, for a pointer that is set.
template <auto release> struct GLibRelease
{
    template <class T> void operator()(T *pointer) const { release(pointer); }
};
template <class T, auto release> using GLibPtr = std::unique_ptr<T, GLibRelease<release>>;

template <class T> using GObjectPtr = GLibPtr<T, g_object_unref>;
using GCharPtr = GLibPtr<gchar, g_free>;
using GErrorPtr = GLibPtr<GError, g_error_free>;
using GStrvPtr = GLibPtr<gchar *, g_strfreev>;
using GVariantPtr = GLibPtr<GVariant, g_variant_unref>;
