#pragma once

#include "messages/messages.h"

#include <QElapsedTimer>

#include <cstdint>
#include <functional>

class QApplication;
class QMessageBox;
class QWidget;

namespace pmv::gui {

class KeyWatch;

// Message boxes of the window: the window is brought to the front and drawn completely
// before a box is put over it. A question's default button is "Нет": Enter never confirms
// a write or an erase.
// Widens the box, just before it is shown, so that the window manager has room for its whole
// caption: a box is as narrow as its text, and a long caption was cut in the middle.
void FitCaption(QMessageBox& box);

class WindowMessages final : public Messages {
public:
    WindowMessages(QWidget& window, KeyWatch& keys) : window_(window), keys_(keys) { clock_.start(); }

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                             MessageIcon icon) override;
    bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override;
    void DiscardPendingKeys() override;
    void ResultReported(ErrorCode code) override
    {
        if (onResult)
            onResult(code);
    }

    void OutcomeNoted(const std::string& note) override
    {
        if (onNote)
            onNote(note);
    }

    // Milliseconds the boxes have stood open since the window was made.
    int64_t BoxOpenMs() const { return boxOpenMs_; }

    std::function<void(ErrorCode)> onResult;
    std::function<void(const std::string&)> onNote;

private:
    void RaiseWindow();
    int Exec(QMessageBox& box);

    QWidget& window_;
    KeyWatch& keys_;
    QElapsedTimer clock_;
    int64_t boxOpenMs_ = 0;
};

// Loads Qt's own Russian texts (the "Да"/"Нет" of message boxes, the file dialogs) and makes
// Russian the default locale, so that dates read 08.12.2026 whatever the user's locale; false
// when the translation is not installed.
bool InstallRussianTranslation(QApplication& app);

}  // namespace pmv::gui
