#include "progress_panel.h"

#include "key_watch.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>

namespace pmv::gui {
namespace {

constexpr QRect kPanelGeometry{12, 156, 681, 249};
constexpr int kLineX = 44;
constexpr std::array<int, 6> kLineY{8, 44, 84, 120, 160, 204};

}  // namespace

void ProgressPanel::Build(QWidget& clientArea)
{
    panel_ = new QFrame(&clientArea);
    panel_->setObjectName("Panel76");
    panel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel_->setLineWidth(2);
    panel_->setAutoFillBackground(true);
    panel_->setGeometry(kPanelGeometry);

    QFont bold(QStringLiteral("Liberation Sans"));
    bold.setStyleHint(QFont::SansSerif);
    bold.setPixelSize(16);
    bold.setBold(true);
    for (size_t i = 0; i < lines_.size(); ++i) {
        QLabel* line = new QLabel(panel_);
        line->setObjectName(QStringLiteral("ProgressLine%1").arg(i + 1));
        line->setFont(bold);
        QPalette black = line->palette();
        black.setColor(QPalette::WindowText, Qt::black);
        line->setPalette(black);
        line->setGeometry(QRect(kLineX, kLineY[i], kPanelGeometry.width() - kLineX - 8, 24));
        lines_[i] = line;
    }
    panel_->hide();
}

void ProgressPanel::Repaint() { panel_->window()->repaint(); }

void ProgressPanel::SetProgressLines(const ProgressLines& lines)
{
    for (size_t i = 0; i < lines_.size(); ++i)
        lines_[i]->setText(QString::fromStdString(lines[i]));
    Repaint();
}

void ProgressPanel::ShowProgressPanel()
{
    panel_->show();
    panel_->raise();
    Repaint();
}

void ProgressPanel::HideProgressPanel()
{
    panel_->hide();
    Repaint();
}

void ProgressPanel::SetProgressStep(const std::string& text)
{
    lines_[2]->setText(QString::fromStdString(text));
    Repaint();
    QCoreApplication::processEvents();
}

bool ProgressPanel::EscapePressed() { return keys_.TakeEscape(); }

}  // namespace pmv::gui
