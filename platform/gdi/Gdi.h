#pragma once
// The device-context interface: everything a caller or the metafile player
// draws with.

#include "platform/gdi/BitmapApi.h"
#include "platform/gdi/DcApi.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/TextApi.h"
