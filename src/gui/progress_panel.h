#pragma once

#include "messages/progress.h"

#include <array>

class QFrame;
class QLabel;
class QWidget;

namespace pmv::gui {

class KeyWatch;

// The progress of a long operation, laid over the pages of the main window, with
// six bold lines; Esc, pressed anywhere in the application, stops the operation at its next
// test.
class ProgressPanel final : public Progress {
public:
    explicit ProgressPanel(KeyWatch& keys) : keys_(keys) {}

    // Creates the panel (hidden, its lines empty) on the window's client area.
    void Build(QWidget& clientArea);
    QFrame* panel() const { return panel_; }

    void SetProgressLines(const ProgressLines& lines) override;
    void ShowProgressPanel() override;
    void HideProgressPanel() override;
    void SetProgressStep(const std::string& text) override;
    bool EscapePressed() override;

private:
    void Repaint();

    KeyWatch& keys_;
    QFrame* panel_ = nullptr;
    std::array<QLabel*, 6> lines_{};
};

}  // namespace pmv::gui
