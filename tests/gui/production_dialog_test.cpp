#include "window_fixture.h"

#include "device/register_map.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <filesystem>

namespace pmv::test {
namespace {

TEST_F(WindowTest, ProductionDialogMakesOneInstrumentAndKeepsTheCount)
{
    Open();
    QString step4, count;
    bool started = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = window->findChild<QDialog*>("ProductionDialog");
        if (!dialog || !dialog->isVisible())
            return;
        if (!started) {
            started = true;
            dialog->findChild<QLineEdit*>("ProductionProfile")->setText("PMV7706.prf");
            dialog->findChild<QSpinBox*>("ProductionType")->setValue(12);
            dialog->findChild<QSpinBox*>("ProductionSerial")->setValue(345);
            boxer.answers = {QMessageBox::No};  // no next instrument
            dialog->findChild<QPushButton*>("ProductionStart")->click();
            step4 = dialog->findChild<QLabel*>("ProductionStep4")->text();
            count = dialog->findChild<QLabel*>("ProductionCount")->text();
            dialog->reject();
        }
    });
    driver.start(20);
    window->findChild<QAction*>("ProduceAction")->trigger();
    driver.stop();

    EXPECT_EQ(step4, QString::fromUtf8("выполнено"));
    EXPECT_EQ(count, QString::fromUtf8("Выпущено за сеанс: 1"));
    EXPECT_EQ(simulator.Register(2, 1, regs::kOtkType.number), 12u);
    EXPECT_TRUE(std::filesystem::exists(File("012-00345.pdf")));
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_TRUE(boxer.boxes[0].text.startsWith(QString::fromUtf8("Прибор 012-00345 выпущен.")));
}

}  // namespace
}  // namespace pmv::test
