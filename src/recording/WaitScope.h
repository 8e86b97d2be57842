#pragma once

#include "recording/UserInterface.h"

namespace vmx {

// Shows the wait window for as long as it lives.
class WaitScope {
public:
    explicit WaitScope(UserInterface& ui) : m_ui(ui) { m_ui.showWait("Please Wait!"); }
    ~WaitScope() { m_ui.closeWait(); }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

private:
    UserInterface& m_ui;
};

}  // namespace vmx
