// The viewer's reading of a PCX file, with the program's message boxes.
#pragma once

#include "image/pcx_reader.h"
#include "platform/win32.h"

// Reads and decodes the file at path into image (ReadPcxFile). On failure
// shows "Unable to open the PCX file" (the file cannot be opened, read or
// shown) or "Can't allocate memory for the image", owned by owner with style
// MB_OK and the application title as caption, and leaves image empty.
// Returns true when image holds a bitmap.
bool ReadPcx(const char* path, HWND owner, DisplayImage* image);
