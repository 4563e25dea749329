// The notices about one sprite file, held instead of shown.
//
// A batch run that converts several files at once cannot show each notice
// as it comes: it gives each file a collector as the file's Diagnostics sink,
// and gives out the notices of the files in their order once each file is
// done.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "notice/diagnostics.h"

struct Notice {
    enum class Kind {
        Refusal,  // the file, or one of its images, is not converted
        Fault,    // a fault in a frame's coded data; the image is written with what was decoded
        Remark,   // worth knowing, no fault (an image written as RGBA)
    };
    Kind kind = Kind::Refusal;
    std::string text;                // NoticeText's, or the front end's own
    std::string reason;              // the system's reason, when there is one
    std::optional<NoticeCode> code;  // the core's code; none for a front end's own notice
};

class NoticeCollector final : public Diagnostics {
public:
    void Report(const Diagnostic& notice) override;

    // A notice of the front end's own.
    void Add(Notice::Kind kind, const char* text, const char* reason = nullptr);

    std::vector<Notice> notices;
};
