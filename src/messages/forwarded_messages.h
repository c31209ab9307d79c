#pragma once

#include "messages.h"

namespace pmv {

// Passes every box on to another Messages; a wrapper overrides what it changes.
class ForwardedMessages : public Messages {
public:
    explicit ForwardedMessages(Messages& inner) : inner_(inner) {}

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        inner_.ShowMessage(text, caption, icon);
    }
    void ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                             MessageIcon icon) override
    {
        inner_.ShowDetailedMessage(text, detail, caption, icon);
    }
    bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        return inner_.AskYesNo(question, text, caption, icon);
    }
    void DiscardPendingKeys() override { inner_.DiscardPendingKeys(); }
    void ResultReported(ErrorCode code) override { inner_.ResultReported(code); }
    void OutcomeNoted(const std::string& note) override { inner_.OutcomeNoted(note); }

protected:
    Messages& inner_;
};

}  // namespace pmv
