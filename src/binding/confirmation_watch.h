#pragma once

#include "messages/forwarded_messages.h"

#include <functional>
#include <string>

namespace pmv {

// Passes the questions on, notes a No and runs `onYes` once a question is answered Yes.
class ConfirmationWatch : public ForwardedMessages {
public:
    ConfirmationWatch(Messages& inner, std::function<void()> onYes) : ForwardedMessages(inner), onYes_(std::move(onYes)) {}

    bool AskYesNo(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        const bool yes = inner_.AskYesNo(text, caption, icon);
        declined = declined || !yes;
        if (yes)
            onYes_();
        return yes;
    }

    bool declined = false;

private:
    std::function<void()> onYes_;
};

}  // namespace pmv
