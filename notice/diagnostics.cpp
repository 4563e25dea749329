#include "notice/diagnostics.h"

#include <cstdio>

bool IsCodingFault(NoticeCode code) { return code == NoticeCode::kSpanOverrun || code == NoticeCode::kZeroByte; }

bool IsRefusal(NoticeCode code) { return !IsCodingFault(code) && code != NoticeCode::kRemark; }

std::string NoticeText(const Diagnostic& notice) {
    switch (notice.code) {
        case NoticeCode::kNotVersion6:
            return "GetFileInfoDC6: dc6 file is not version 6 and can not be converted!";
        case NoticeCode::kInvalidBlockCount:
            return "DC6 file has invalid number of blocks and can not be converted!";
        case NoticeCode::kInvalidFrameData:
            return "DC6 file has invalid frame data and can not be converted!";
        case NoticeCode::kSpanOverrun: {
            char text[64];
            std::snprintf(text, sizeof text, "Span overrun @ %llX", static_cast<unsigned long long>(notice.offset));
            return text;
        }
        case NoticeCode::kZeroByte:
            return "Found ZERO Byte";
        case NoticeCode::kInvalidSize:
            return "Image " + notice.path + " is too large or has invalid dimensions and was not written.";
        case NoticeCode::kUnableToWrite:
            return "Unable to write " + notice.path + "!";
        case NoticeCode::kAlreadyWritten:
            return "Image " + notice.path + " was already written in this run and was not replaced.";
        case NoticeCode::kNoMemory:
            return "Not enough memory for image " + notice.path + "; it was not written.";
        case NoticeCode::kRemark:
            return notice.detail;
    }
    return {};
}
