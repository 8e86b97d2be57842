#pragma once

#include "recording/UserInterface.h"

#include <string>
#include <vector>

namespace vmx {

// The port of a program nobody sits in front of (a fixture builder, a fuzzer, a step of the demo
// disk): every question is answered No, every chooser cancelled, progress and the wait window go
// nowhere, and the messages are kept in the order they were shown.
class QuietUi : public UserInterface {
public:
    std::vector<std::string> messages;

    // The last message shown; empty when there was none.
    std::string lastMessage() const { return messages.empty() ? std::string() : messages.back(); }

    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void showMessage(const std::string& text, const std::string&) override { messages.push_back(text); }
    std::string chooseFolder(const std::string&, const std::string&) override { return {}; }
    std::vector<std::string> chooseFiles(const std::string&, const std::string&) override { return {}; }
    std::string chooseNewFile(const std::string&, const std::string&, const std::string&) override { return {}; }
    void openProgress(const std::string&) override {}
    bool updateProgress(const CopyProgressView&) override { return true; }
    void closeProgress() override {}
    void showWait(const std::string&) override {}
    void closeWait() override {}
    bool messagesWait() const override { return false; }
    bool questionsWait() const override { return false; }
};

}  // namespace vmx
