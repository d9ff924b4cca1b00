#pragma once

#include "platform/GLibPointers.h"

// A GList that owns a reference to each of its GObjects, as GIO and libsecret hand them over.
inline void freeObjectList(GList *list)
{
    g_list_free_full(list, g_object_unref);
}
using GObjectListPtr = GLibPtr<GList, freeObjectList>;
