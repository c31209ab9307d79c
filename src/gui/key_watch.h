#pragma once

#include <QObject>

namespace pmv::gui {

// Watches the keyboard of the whole application for Esc and Enter, whichever widget has the
// focus, so that a long operation can ask whether Esc was pressed since its last look. Keys
// that answer a modal box (a question, a file dialog) belong to that box and are not counted.
class KeyWatch final : public QObject {
public:
    explicit KeyWatch(QObject* parent = nullptr);
    ~KeyWatch() override;

    // True when the key was pressed since the previous query; each query resets it.
    bool TakeEscape();
    bool TakeEnter();
    // An Esc that did not come from the keyboard: closing the window stops an operation so.
    void PressEscape() { escape_ = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool escape_ = false;
    bool enter_ = false;
};

}  // namespace pmv::gui
