// Notices as data: what the core has to say about a sprite file or one of its
// output files is a code and its arguments, handed to a Diagnostics sink the
// caller owns. The texts are made here and nowhere else; each front end
// shows them its own way (a message box, a line on standard error, the
// page's list).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class NoticeCode {
    // The sprite file is refused and nothing of it is converted.
    kNotVersion6,
    kInvalidBlockCount,
    kInvalidFrameData,
    // Faults in a frame's coded data: the frame is decoded as far as it goes.
    kSpanOverrun,  // offset: the position in the coded data after the run
    kZeroByte,
    // An output file is not written; path names it.
    kInvalidSize,
    kUnableToWrite,  // reason: why, as the system or the run says it
    kAlreadyWritten,
    kNoMemory,
    // Worth knowing, no fault (an image written as RGBA); detail is the text.
    kRemark,
};

struct Diagnostic {
    NoticeCode code = NoticeCode::kInvalidFrameData;
    std::uint64_t offset = 0;  // kSpanOverrun
    std::int32_t frame = -1;   // the frame concerned, where the code is about one
    std::string path;          // the output file, for the codes about one
    std::string reason;        // the system's reason, when there is one
    std::string detail;        // kRemark
};

// True for the faults in coded data: the image is still written, and the
// program shows them in a plain box whatever the user chose about notices.
bool IsCodingFault(NoticeCode code);

// True for the notices that say a file, or one of its images, is not
// converted: the ones the program lets the user silence.
bool IsRefusal(NoticeCode code);

// The text of a notice, one sentence or two, without line breaks or any
// front end's wording (the program's question whether further notices are
// wanted, a line's prefix). The reason is not part of it; a front end that
// has room for it adds it.
std::string NoticeText(const Diagnostic& notice);

// Where the core's notices go. Report is called on the thread that does the
// work, in the order the notices arise.
class Diagnostics {
public:
    virtual void Report(const Diagnostic& notice) = 0;

protected:
    ~Diagnostics() = default;
};

// Keeps every notice, in order.
class DiagnosticList final : public Diagnostics {
public:
    void Report(const Diagnostic& notice) override { notices.push_back(notice); }
    std::vector<Diagnostic> notices;
};
