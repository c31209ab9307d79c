#pragma once

#include <QWidget>

class QPushButton;

namespace pmv {

// Page "Конфигурация": the passport page of the instrument.
class ConfigurationPage final : public QWidget {
public:
    ConfigurationPage();

    QPushButton* makePassportPage;
};

}  // namespace pmv
