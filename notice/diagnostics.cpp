#include "notice/diagnostics.h"

#include <cstdio>

const char kFurtherNotices[] = "Do you wish to receive further error notification?";

namespace {

std::string Silenceable(const std::string& text) { return text + "\n\n" + kFurtherNotices; }

}  // namespace

bool IsCodingFault(NoticeCode code) { return code == NoticeCode::kSpanOverrun || code == NoticeCode::kZeroByte; }

std::string NoticeText(const Diagnostic& notice) {
    switch (notice.code) {
        case NoticeCode::kNotVersion6:
            return Silenceable("GetFileInfoDC6: dc6 file is not version 6 and can not be converted!");
        case NoticeCode::kInvalidBlockCount:
            return Silenceable("DC6 file has invalid number of blocks and can not be converted!");
        case NoticeCode::kInvalidFrameData:
            return Silenceable("DC6 file has invalid frame data and can not be converted!");
        case NoticeCode::kSpanOverrun: {
            char text[64];
            std::snprintf(text, sizeof text, "Span overrun @ %llX\n", static_cast<unsigned long long>(notice.offset));
            return text;
        }
        case NoticeCode::kZeroByte:
            return "Found ZERO Byte";
        case NoticeCode::kInvalidSize:
            return Silenceable("Image " + notice.path + " is too large or has invalid dimensions and was not written.");
        case NoticeCode::kUnableToWrite:
            return Silenceable("Unable to write " + notice.path + "!");
        case NoticeCode::kAlreadyWritten:
            return Silenceable("Image " + notice.path + " was already written in this run and was not replaced.");
        case NoticeCode::kNoMemory:
            return Silenceable("Not enough memory for image " + notice.path + "; it was not written.");
        case NoticeCode::kRemark:
            return notice.detail;
    }
    return {};
}
