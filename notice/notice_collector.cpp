#include "notice/notice_collector.h"

void NoticeCollector::Report(const Diagnostic& notice) {
    Notice held;
    held.kind = notice.code == NoticeCode::kRemark ? Notice::Kind::Remark
                : IsCodingFault(notice.code)       ? Notice::Kind::Fault
                                                   : Notice::Kind::Refusal;
    held.text = NoticeText(notice);
    held.reason = notice.reason;
    held.code = notice.code;
    notices.push_back(std::move(held));
}

void NoticeCollector::Add(Notice::Kind kind, const char* text, const char* reason) {
    notices.push_back({kind, text != nullptr ? text : "", reason != nullptr ? reason : "", std::nullopt});
}
