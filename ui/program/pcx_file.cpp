#include "ui/program/pcx_file.h"

#include "platform/application_title.h"
#include "platform/seam.h"

bool ReadPcx(const char* path, HWND owner, DisplayImage* image) {
    const PcxDecode result = ReadPcxFile(path, image);
    if (result == PcxDecode::Decoded) return true;
    platform::MessageBoxA(
        owner, result == PcxDecode::OutOfMemory ? "Can't allocate memory for the image" : "Unable to open the PCX file",
        platform::ApplicationTitle(), MB_OK);
    return false;
}
