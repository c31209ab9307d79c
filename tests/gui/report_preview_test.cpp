#include "window_fixture.h"

#include "device/register_map.h"

#include <QAction>
#include <QCheckBox>
#include <QMenuBar>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>

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
