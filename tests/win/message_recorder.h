#pragma once
// The one substitute in the Windows tests: a message box that records what
// it was asked to show and answers as told, linked in place of the real one.
#include <windows.h>

#include <string>
#include <vector>

struct RecordedMessage {
    std::string text;
    std::string caption;
    unsigned flags;
    HWND owner;
};

std::vector<RecordedMessage>& recorded_messages();
// Answers for the next boxes, in order; afterwards every box answers IDOK.
void queue_message_answers(std::vector<int> answers);
void reset_messages();
