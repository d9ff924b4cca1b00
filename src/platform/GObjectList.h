#pragma once

#include <glib-object.h>

#include <memory>

// A GList that owns a reference to each of its GObjects, as GIO and libsecret hand them over.
struct GObjectListFree
{
    void operator()(GList *list) const { g_list_free_full(list, g_object_unref); }
};
using GObjectListPtr = std::unique_ptr<GList, GObjectListFree>;
