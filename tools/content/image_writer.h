// Writer of image chunks (0x18), the counterpart of the graphics core's image chunk reader.
#pragma once

#include "gfx/core/image.h"

// Bytes the whole chunk takes on a stream, header included.
GxUInt32 ContentImageStreamGetSize(const GxImage* image);
// Writes the chunk: header, a 16-byte struct chunk (width, height, depth, stride), the rows,
// then the palette for depths up to 8. Returns the image, or null when it can not be written.
const GxImage* ContentImageStreamWrite(const GxImage* image, GxStream* stream);
