#include "top_bar.h"

#include "binding/control_values.h"
#include "binding/description.h"
#include "link/link_port.h"
#include "link/local_serial_line.h"
#include "network_port_dialog.h"
#include "widgets.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

namespace pmv::gui {
namespace {

constexpr int kPortLabelRole = Qt::UserRole + 1;

// The selector's list shows each number with the device it means; the closed selector keeps
// the bare number.
class PortItemDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString label = index.data(kPortLabelRole).toString();
        if (!label.isEmpty())
            option->text += QStringLiteral("   ") + label;
    }
};

}  // namespace

// The list is built when it first opens, with the devices beside the numbers and as wide as the
// widest of them: the window's first frame needs only the closed selector.
class PortSelector final : public QComboBox {
public:
    using QComboBox::QComboBox;

    int listWidth = 0;

protected:
    void showPopup() override
    {
        if (!listBuilt_) {
            setItemDelegate(new PortItemDelegate(this));
            listBuilt_ = true;
        }
        view()->setMinimumWidth(listWidth);
        QComboBox::showPopup();
    }

private:
    bool listBuilt_ = false;
};

using namespace widgets;

TopBar::TopBar(QWidget* parent) : QWidget(parent)
{
    setGeometry(QRect(0, 0, 703, 106));
    QLabel* portHeading = Label("&Номер порта", this, 8, 6);
    portHeading->setObjectName("Label1");
    port = selector_ = new PortSelector(this);
    port->setMaxVisibleItems(16);
    port->setToolTip(Text("Задаем номер порта компьютора"));
    port->setGeometry(8, 22, 44, 21);
    portHeading->setBuddy(port);
    Fill(*port, Numbers(1, binding::kPortListSize));
    port->addItem(QString::fromUtf8(kNetworkPortEntry));
    portNumber = Label(this, 58, 22, 20);
    portDevice = Label(this, 8, 48, 156);
    portDevice->setObjectName("PortDeviceLabel");

    Label("Используемые каналы", this, 170, 6)->setObjectName("Label3");
    channel1Box = Check("&1", this, 170, 24, 36,
                        "При нажатии кнопок прочитать/ записать выбранное будут прочитаны или записаны параметры "
                        "первого канала");
    channel2Box = Check("&2", this, 208, 24, 36,
                        "При нажатии на кнопки прочитать/ записать выбранное будут прочитаны или записаны параметры "
                        "второго канала");
    relaysBox = Check("&Реле", this, 246, 24, 54,
                      "При нажатии на кнопки прочитать/ записать выбранное будут прочитаны или записаны настройки "
                      "логики реле");
    generalBox = Check("Об&щие", this, 302, 24, 64,
                       "При нажатии на кнопки прочитать / записать будут прочитаны или записаны заводские настройки : "
                       "вид прибора, вид отображения ошибки. Прочитаются : версия ПО и заводской номер. ");

    readAll = Button("&Прочитать все", this, 170, 48, 124,
                     "Прочитать параметры обоих каналов, реле, часть общеприборных настроек.");
    readAll->setObjectName("Button1");
    readSelected = Button("Прочитать в&ыбранное", this, 296, 48, 124, "Прочитать отмеченные группы параметров.");
    readSelected->setObjectName("Button2");
    writeAll = Button("&Записать все", this, 170, 77, 124,
                      "Записать параметры обоих каналов, реле, часть общеприборных  настроек.");
    writeAll->setObjectName("Button3");
    writeSelected = Button("Записать вы&бранное", this, 296, 77, 124, "Записать отмеченные группы параметров.");
    writeSelected->setObjectName("Button4");

    const char* descriptionHint =
        "Текстовое описание файла настроек прибора.  Перед записью нового файла сюда можно внести свои комментарии.";
    QLabel* heading = Label("Описание настрое&к", this, 428, 6);
    heading->setObjectName("Label5");
    heading->setToolTip(Text(descriptionHint));
    description = new QTextEdit(this);
    description->setObjectName("RichEdit1");
    description->setAcceptRichText(false);
    description->setToolTip(Text(descriptionHint));
    description->setGeometry(QRect(428, 22, 267, 80));
    // Tab moves on to the next control: a tab character has no place in the four lines.
    description->setTabChangesFocus(true);
    heading->setBuddy(description);
    connect(description, &QTextEdit::textChanged, this, &TopBar::FitDescriptionText);
}

void TopBar::FitDescriptionText()
{
    const std::string typed = description->toPlainText().toStdString();
    const binding::DescriptionFit fit = binding::FitDescription(typed);
    if (fit.text == typed)
        return;
    QTextCursor cursor = description->textCursor();
    const int position = cursor.position();
    const QString kept = QString::fromStdString(fit.text);
    {
        const QSignalBlocker quiet(description);
        description->setPlainText(kept);
    }
    cursor = description->textCursor();
    cursor.setPosition(std::min(position, static_cast<int>(kept.size())));
    description->setTextCursor(cursor);
    if (!fit.refused.empty() && onRefusedCharacters)
        onRefusedCharacters(binding::RefusedCharactersText(fit.refused));
}

void TopBar::ShowDescription(const std::array<std::string, 4>& lines)
{
    QStringList text;
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    description->setPlainText(text.join('\n'));
}

std::vector<std::string> TopBar::DescriptionLines() const
{
    std::vector<std::string> lines;
    for (const QString& line : description->toPlainText().split('\n'))
        lines.push_back(line.toStdString());
    return lines;
}

void TopBar::ShowPortDevices(const link::LinkPort& link, const std::string& override,
                             const std::vector<link::SerialPortInfo>& found)
{
    const QString none = Text("нет устройства");
    const std::vector<std::string> devices = link::DeviceNames(found);
    QStringList mapping;
    int widest = 0;
    for (int32_t n = 1; n <= binding::kPortListSize; ++n) {
        // Each number names its own device, also while one given on the command line is in use.
        const std::string device = link::PortDevice(n, link.settings().PortDevices, devices);
        const QString label = device.empty() ? none : QString::fromStdString(link::PortLabel(device, found));
        port->setItemData(n - 1, label, kPortLabelRole);
        port->setItemData(n - 1, QStringLiteral("%1: %2").arg(n).arg(label), Qt::ToolTipRole);
        mapping << QStringLiteral("%1: %2").arg(n).arg(label);
        widest = std::max(widest, port->fontMetrics().horizontalAdvance(QStringLiteral("8   ") + label));
    }
    selector_->listWidth = widest + 24;
    const std::string current = link.DeviceName(devices);
    const QString text = current.empty() ? none : QString::fromStdString(current);
    portDevice->setText(portDevice->fontMetrics().elidedText(text, Qt::ElideLeft, portDevice->width()));
    const QString ports = Text("Устройства портов:\n") + mapping.join('\n');
    portDevice->setToolTip(override.empty() ? ports
                                            : Text("Связь идёт через устройство %1, заданное параметром --port; номер "
                                                   "порта запомнится для следующих запусков.\n")
                                                      .arg(text) +
                                                  ports);
}

}  // namespace pmv::gui
