// The messages the core gives about one sprite file, held instead of shown.
//
// The program shows each message in a box as it comes. A batch run that
// converts several files at once cannot: it gives each file a collector on
// the thread that converts it, and the run gives out the notices of the
// files in their order once each file is done. While a collector is in
// place, nothing the core says about the file reaches a message box.
#pragma once

#include <string>
#include <vector>

struct Notice {
    enum class Kind {
        Notice,  // a notice of the ErrorNotifier (the file, or one of its images, is not converted)
        Fault,   // a fault in a frame's coded data; the image is written with what was decoded
        Remark,  // worth knowing, no fault (an image written as RGBA)
    };
    Kind kind = Kind::Notice;
    std::string text;    // as a message box would show it
    std::string reason;  // the system's reason, when there is one
};

class NoticeCollector {
public:
    // Collects the calling thread's messages for the collector's lifetime;
    // the collector it replaces comes back afterwards.
    NoticeCollector();
    ~NoticeCollector();
    NoticeCollector(const NoticeCollector&) = delete;
    NoticeCollector& operator=(const NoticeCollector&) = delete;

    // The calling thread's collector, or null.
    static NoticeCollector* Current();

    void Add(Notice::Kind kind, const char* text, const char* reason = nullptr);

    std::vector<Notice> notices;

private:
    NoticeCollector* previous_;
};

// A remark of the conversion (worth knowing, no fault): to the thread's
// collector; without one it goes nowhere, as the program has no place for it.
void Remark(const std::string& text);
