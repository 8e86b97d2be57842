#pragma once

#include "recording/UserInterface.h"

#include <deque>
#include <string>
#include <vector>

namespace vmxtest {

// A scripted user: answers from queues (Yes, the chooser results) and records everything it was
// asked and shown, one line per event ("ask: ...", "message: ...", "wait", "progress ...").
class FakeUi : public vmx::UserInterface {
public:
    std::deque<bool> answers;  // Yes/No answers; Yes when empty
    std::string folderAnswer;
    std::string newFileAnswer;
    std::vector<std::string> filesAnswer;
    int cancelAfterUpdates = -1;  // updateProgress answers "cancel" after this many calls

    std::vector<std::string> events;
    std::vector<std::string> messages;
    std::vector<vmx::CopyProgressView> updates;
    int waitDepth = 0;

    bool askYesNo(const std::string& text, const std::string& caption) override
    {
        events.push_back("ask: " + text + " [" + caption + "]");
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showMessage(const std::string& text, const std::string& caption) override
    {
        events.push_back("message: " + text + (caption.empty() ? "" : " [" + caption + "]"));
        messages.push_back(text);
    }
    std::string chooseFolder(const std::string& title, const std::string&) override
    {
        events.push_back("choose folder: " + title);
        return folderAnswer;
    }
    std::vector<std::string> chooseFiles(const std::string& title, const std::string&) override
    {
        events.push_back("choose files: " + title);
        return filesAnswer;
    }
    std::string chooseNewFile(const std::string&, const std::string& defaultName, const std::string&) override
    {
        events.push_back("choose new file: " + defaultName);
        return newFileAnswer;
    }
    void openProgress(const std::string& caption) override { events.push_back("progress open: " + caption); }
    bool updateProgress(const vmx::CopyProgressView& view) override
    {
        updates.push_back(view);
        return cancelAfterUpdates < 0 || static_cast<int>(updates.size()) <= cancelAfterUpdates;
    }
    void closeProgress() override { events.push_back("progress close"); }
    void showCutMarks(const std::vector<std::pair<double, double>>& stretches) override
    {
        events.push_back("cut marks: " + std::to_string(stretches.size()));
    }
    void showWait(const std::string& text) override
    {
        ++waitDepth;
        events.push_back("wait: " + text);
    }
    void closeWait() override
    {
        --waitDepth;
        events.push_back("wait closed");
    }

    std::string lastMessage() const { return messages.empty() ? std::string() : messages.back(); }
};

}  // namespace vmxtest
