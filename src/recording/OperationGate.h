#pragma once

#include "recording/UserInterface.h"

#include <functional>
#include <optional>
#include <utility>

namespace vmx {

// The way into a recording session's operations, one at a time: enter() runs an operation's body
// with the port it is to use, or returns false when the operation cannot start (the user was told
// why). The session is the gate; what shares it (ReceiverMedia) runs its operations through it.
class OperationGate {
public:
    using Body = std::function<void(UserInterface&)>;
    using Enter = std::function<bool(UserInterface& ui, const Body& body)>;

    explicit OperationGate(Enter enter) : m_enter(std::move(enter)) {}

    // Runs `body` as one operation: what it returned, or `notRun` when it could not start.
    template <typename Result, typename F>
    Result run(UserInterface& ui, F body, Result notRun = {}) const
    {
        std::optional<Result> result;
        if (!m_enter(ui, [&](UserInterface& operationUi) { result.emplace(body(operationUi)); }))
            return notRun;
        return std::move(*result);
    }

private:
    Enter m_enter;
};

}  // namespace vmx
