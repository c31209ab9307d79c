#pragma once

#include "link/port_names.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTextEdit;

namespace pmv::link {
class LinkPort;
}  // namespace pmv::link

namespace pmv::gui {

class PortSelector;

// Above the pages: the port selector with the device it means, the four group boxes, the four
// exchange buttons and the description of the profile.
class TopBar final : public QWidget {
public:
    explicit TopBar(QWidget* parent);

    void ShowDescription(const std::array<std::string, 4>& lines);
    // Called with the message when typed or pasted characters had to be taken out of the
    // description; the editor holds four lines at most.
    std::function<void(const std::string&)> onRefusedCharacters;
    std::vector<std::string> DescriptionLines() const;
    // The device of every port number beside it in the selector's list and in its hints (with
    // the adapter's description and serial number from `found`), the one in use below it.
    // `override` is the device given on the command line, used for every number.
    void ShowPortDevices(const link::LinkPort& port, const std::string& override,
                         const std::vector<link::SerialPortInfo>& found);

private:
    void FitDescriptionText();

    PortSelector* selector_;

public:
    QComboBox* port;
    QLabel* portNumber;
    QLabel* portDevice;
    QCheckBox* channel1Box;
    QCheckBox* channel2Box;
    QCheckBox* relaysBox;
    QCheckBox* generalBox;
    QPushButton* readAll;
    QPushButton* readSelected;
    QPushButton* writeAll;
    QPushButton* writeSelected;
    QTextEdit* description;
};

}  // namespace pmv::gui
