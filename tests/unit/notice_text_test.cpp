// Every notice's text, pinned here once: the boxes of the program, the lines
// of the command line and the page's list are all made from these.
#include "notice/diagnostics.h"

#include "ui/program/error_notifier.h"

#include <gtest/gtest.h>

namespace {

Diagnostic Notice(NoticeCode code) {
    Diagnostic notice;
    notice.code = code;
    notice.path = "PCXFiles\\a.pcx";
    notice.offset = 0x1A2;
    notice.reason = "disk full";  // never part of the text
    notice.detail = "worth knowing";
    return notice;
}

TEST(NoticeTextTest, EachCodeHasItsText) {
    const std::string further = "\n\nDo you wish to receive further error notification?";
    const struct {
        NoticeCode code;
        std::string text;
        bool fault;
    } cases[] = {
        {NoticeCode::kNotVersion6, "GetFileInfoDC6: dc6 file is not version 6 and can not be converted!" + further,
         false},
        {NoticeCode::kInvalidBlockCount, "DC6 file has invalid number of blocks and can not be converted!" + further,
         false},
        {NoticeCode::kInvalidFrameData, "DC6 file has invalid frame data and can not be converted!" + further, false},
        {NoticeCode::kSpanOverrun, "Span overrun @ 1A2\n", true},
        {NoticeCode::kZeroByte, "Found ZERO Byte", true},
        {NoticeCode::kInvalidSize,
         "Image PCXFiles\\a.pcx is too large or has invalid dimensions and was not written." + further, false},
        {NoticeCode::kUnableToWrite, "Unable to write PCXFiles\\a.pcx!" + further, false},
        {NoticeCode::kAlreadyWritten,
         "Image PCXFiles\\a.pcx was already written in this run and was not replaced." + further, false},
        {NoticeCode::kNoMemory, "Not enough memory for image PCXFiles\\a.pcx; it was not written." + further, false},
        {NoticeCode::kRemark, "worth knowing", false},
    };
    for (const auto& expected : cases) {
        // The program's box adds its own wording; the text itself has none.
        EXPECT_EQ(BoxText(Notice(expected.code)), expected.text);
        const std::string text = NoticeText(Notice(expected.code));
        EXPECT_EQ(expected.text.compare(0, text.size(), text), 0) << text;
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        EXPECT_EQ(IsCodingFault(expected.code), expected.fault) << expected.text;
    }
    EXPECT_EQ(further, std::string("\n\n") + kFurtherNotices);
}

}  // namespace
