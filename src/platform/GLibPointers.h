#pragma once

#include <glib-object.h>

#include <memory>

// Owning pointers for what GLib hands over: each releases with the function GLib pairs with
// the allocation, once, also on early returns.

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GFree
{
    void operator()(gpointer memory) const { g_free(memory); }
};
struct GErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};
struct GStrvFree
{
    void operator()(gchar **strings) const { g_strfreev(strings); }
};

template <class T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GCharPtr = std::unique_ptr<gchar, GFree>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GStrvPtr = std::unique_ptr<gchar *, GStrvFree>;
