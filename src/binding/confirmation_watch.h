#pragma once

#include "messages/messages.h"

#include <functional>
#include <string>

namespace pmv {

// Passes the questions on, notes a No and runs `onYes` once a question is answered Yes.
class ConfirmationWatch : public Messages {
public:
    ConfirmationWatch(Messages& inner, std::function<void()> onYes) : inner_(inner), onYes_(std::move(onYes)) {}
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        inner_.ShowMessage(text, caption, icon);
    }
    void ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                             MessageIcon icon) override
    {
        inner_.ShowDetailedMessage(text, detail, caption, icon);
    }
    bool AskYesNo(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        const bool yes = inner_.AskYesNo(text, caption, icon);
        declined = declined || !yes;
        if (yes)
            onYes_();
        return yes;
    }
    void DiscardPendingKeys() override { inner_.DiscardPendingKeys(); }

    bool declined = false;

private:
    Messages& inner_;
    std::function<void()> onYes_;
};

}  // namespace pmv
