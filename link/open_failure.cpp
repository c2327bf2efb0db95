#include "link/open_failure.h"

bool RecordedOpenFailures::Fail(OpenFailure kind, TextView name, TextView device, TextView why) {
    failure_ = kind;
    detail_ = Text(why) + u": " + Text(device);
    reason_ = TextFromUtf8(
        ExplainOpenFailure(kind, Utf8FromText(name), Utf8FromText(device), Utf8FromText(why)));
    return false;
}

void RecordedOpenFailures::Succeeded() {
    failure_ = OpenFailure::None;
    detail_.clear();
    reason_.clear();
}
