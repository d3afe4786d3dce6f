#include "tests/win/message_recorder.h"

#include <deque>

#include "common/globals.h"
#include "common/messages.h"

namespace {
std::vector<RecordedMessage> g_messages;
std::deque<int> g_answers;
}  // namespace

std::vector<RecordedMessage>& recorded_messages() { return g_messages; }

void queue_message_answers(std::vector<int> answers) {
    g_answers.assign(answers.begin(), answers.end());
}

void reset_messages() {
    g_messages.clear();
    g_answers.clear();
}

int show_message(const char* text, const char* caption, unsigned flags) {
    g_messages.push_back({text, caption, flags, g_setup.wizard_window});
    if (g_answers.empty()) return IDOK;
    const int answer = g_answers.front();
    g_answers.pop_front();
    return answer;
}
