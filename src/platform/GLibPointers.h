#pragma once

#include <glib-object.h>
#include <glib.h>

#include <memory>

// Owning pointers for what GLib hands out, so that every path out of a scope releases it.

struct GObjectDeleter
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct GCharDeleter
{
    void operator()(gchar *text) const { g_free(text); }
};
using GCharPtr = std::unique_ptr<gchar, GCharDeleter>;

struct GErrorDeleter
{
    void operator()(GError *error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct GStrvDeleter
{
    void operator()(gchar **strings) const { g_strfreev(strings); }
};
using GStrvPtr = std::unique_ptr<gchar *, GStrvDeleter>;
