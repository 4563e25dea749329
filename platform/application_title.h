// The application title: the program file's name without its extension. It
// captions the message boxes that name no caption of their own.
#pragma once

namespace platform {

const char* ApplicationTitle();

}  // namespace platform
