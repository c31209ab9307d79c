#pragma once

#include <QWidget>

class QPushButton;

namespace pmv::gui {

// Page "Конфигурация": the passport page of the instrument.
class ConfigurationPage final : public QWidget {
public:
    explicit ConfigurationPage(QWidget* parent);

    QPushButton* makePassportPage;
};

}  // namespace pmv::gui
