#include "window_fixture.h"

#include "device/register_map.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QSpinBox>
#include <QTimer>

#include <filesystem>

namespace pmv::test {
namespace {

QAction* Action(QWidget& w, const char* name)
{
    auto* action = w.findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
}

std::string PdfText(const std::string& path)
{
    QProcess process;
    process.start("pdftotext", {QString::fromStdString(path), "-"});
    if (!process.waitForFinished(20000))
        return {};
    return process.readAllStandardOutput().toStdString();
}

TEST_F(WindowTest, PassportButtonShowsThePreviewWhichSavesAPdf)
{
    Open();
    simulator.SetRegister(2, 1, device::regs::kMadeMonth.number, 12);
    boxer.files = {QString::fromStdString(File("passport"))};
    PreviewCatcher catcher([](gui::ReportPreview& preview) {
        EXPECT_EQ(preview.printer()->pageLayout().orientation(), QPageLayout::Landscape);
        Action(preview, "SavePdf")->trigger();
    });
    Click(Button::PassportPage);
    EXPECT_EQ(catcher.shown, 1);
    EXPECT_TRUE(boxer.boxes.empty());
    ASSERT_TRUE(std::filesystem::exists(File("passport.pdf"))) << "\".pdf\" added to the chosen name";
    const std::string text = PdfText(File("passport.pdf"));
    EXPECT_NE(text.find("Прибор ПМВ7703Н номер 047-1234 дата изг. 15.12.2024"), std::string::npos) << text;
    EXPECT_TRUE(Get<QPushButton>(Button::ReadAll)->isEnabled());
    EXPECT_FALSE(window->busy());
}

int PdfPages(const std::string& path)
{
    QProcess process;
    process.start("pdfinfo", {QString::fromStdString(path)});
    if (!process.waitForFinished(20000))
        return -1;
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    const qsizetype at = info.indexOf("Pages:");
    return at < 0 ? -1 : info.mid(at + 6).section('\n', 0, 0).trimmed().toInt();
}

// "Печать" asks the system's print dialog for the printer and the number of copies. This machine
// has no printer, so the dialog offers a PDF file: each copy is a page of it, and a dialog closed
// with "Отмена" prints nothing.
TEST_F(WindowTest, PrintAsksForThePrinterAndTheCopies)
{
    Open();
    const std::string printed = File("printed.pdf");
    int dialogs = 0;
    bool cancel = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        ++dialogs;
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Печать"));
        auto* file = dialog->findChild<QLineEdit*>("filename");
        auto* copies = dialog->findChild<QSpinBox*>("copies");
        EXPECT_TRUE(file && copies) << "the dialog offers a file and copies";
        if (cancel || !file || !copies) {
            dialog->reject();
            return;
        }
        file->setText(QString::fromStdString(printed));
        copies->setValue(2);
        dialog->accept();
    });
    answer.start(5);
    PreviewCatcher catcher([](gui::ReportPreview& preview) { Action(preview, "PrintPage")->trigger(); });
    Click(Button::PassportPage);
    EXPECT_EQ(dialogs, 1);
    ASSERT_TRUE(std::filesystem::exists(printed));
    EXPECT_EQ(PdfPages(printed), 2) << "a page for each copy";
    EXPECT_NE(PdfText(printed).find("Прибор ПМВ7703Н"), std::string::npos);
    EXPECT_TRUE(boxer.boxes.empty());

    std::filesystem::remove(printed);
    cancel = true;
    Click(Button::PassportPage);
    EXPECT_EQ(dialogs, 2);
    EXPECT_FALSE(std::filesystem::exists(printed));
    EXPECT_TRUE(boxer.boxes.empty());
}

TEST_F(WindowTest, FailedPassportReadShowsItsMessageAndNoPreview)
{
    Open();
    sim::Fault silence{sim::Fault::Kind::Status};
    silence.count = -1;
    silence.status = 0x0003;
    simulator.InjectFault(silence);
    PreviewCatcher catcher;
    window->findChild<QAction*>("PassportAction")->trigger();
    EXPECT_EQ(catcher.shown, 0);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_TRUE(boxer.boxes[0].text.endsWith("(ERR 3)")) << boxer.boxes[0].text.toStdString();
    EXPECT_TRUE(Get<QPushButton>(Button::ReadAll)->isEnabled());
}

TEST_F(WindowTest, ReportsMenuBesideFileRunsBothReportCommands)
{
    Open();
    QList<QAction*> menus = window->menuBar()->actions();
    menus.removeIf([](const QAction* menu) { return !menu->isVisible(); });  // the hidden service menu
    ASSERT_GE(menus.size(), 2);
    EXPECT_EQ(Caption(menus[0]->text()), QString::fromUtf8("Файл"));
    EXPECT_EQ(Caption(menus[1]->text()), QString::fromUtf8("Отчёты"));

    int orientation = -1;
    PreviewCatcher catcher(
        [&](gui::ReportPreview& preview) { orientation = preview.printer()->pageLayout().orientation(); });
    Action(*window, "ReportAction")->trigger();
    EXPECT_EQ(catcher.shown, 1);
    EXPECT_EQ(orientation, QPageLayout::Portrait);
    EXPECT_TRUE(simulator.Transcript().empty()) << "the current settings are reported without a read";

    Get<QCheckBox>(controls.top.groupBoxes.channel2)->click();
    simulator.SetFloatRegister(2, device::regs::Uref(1).number, 12.5f);
    Action(*window, "ReadReportAction")->trigger();
    EXPECT_EQ(catcher.shown, 2);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_FLOAT_EQ(window->model().channel[1].uref, 12.5f);
    EXPECT_TRUE(Get<QCheckBox>(controls.top.groupBoxes.channel2)->isChecked())
        << "every group box ticked, as by \"Прочитать все\"";
}

}  // namespace
}  // namespace pmv::test
