#include "notice/notice_collector.h"

namespace {

thread_local NoticeCollector* current = nullptr;

}  // namespace

NoticeCollector::NoticeCollector() : previous_(current) { current = this; }

NoticeCollector::~NoticeCollector() { current = previous_; }

NoticeCollector* NoticeCollector::Current() { return current; }

void NoticeCollector::Add(Notice::Kind kind, const char* text, const char* reason) {
    notices.push_back({kind, text != nullptr ? text : "", reason != nullptr ? reason : ""});
}

void Remark(const std::string& text) {
    if (current != nullptr) current->Add(Notice::Kind::Remark, text.c_str());
}
