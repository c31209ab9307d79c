#pragma once

#include "messages/messages.h"

class QApplication;
class QWidget;

namespace pmv {

class KeyWatch;

// Message boxes of the window: the window is brought to the front and drawn completely
// before a box is put over it.
class WindowMessages final : public Messages {
public:
    WindowMessages(QWidget& window, KeyWatch& keys) : window_(window), keys_(keys) {}

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                             MessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void DiscardPendingKeys() override;

private:
    void RaiseWindow();

    QWidget& window_;
    KeyWatch& keys_;
};

// Loads Qt's own Russian texts (the "Да"/"Нет" of message boxes, the file dialogs); false
// when the translation is not installed.
bool InstallRussianTranslation(QApplication& app);

}  // namespace pmv
