#include "report_preview.h"

#include "binding/file_errors.h"
#include "reports/page_drawing.h"
#include "save_dialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QToolBar>

namespace pmv::gui {
namespace {

void Paint(const reports::Page& page, QPrinter& printer)
{
    QPainter painter;
    if (painter.begin(&printer))
        reports::PaintPage(page, painter);
}

void SetSheet(const reports::Page& page, QPrinter& printer)
{
    printer.setFullPage(true);
    printer.setPageLayout(reports::PageLayoutOf(page));
}

}  // namespace

ReportPreview::ReportPreview(reports::Page page, QWidget* parent, QString fileName)
    : QPrintPreviewDialog(parent), page_(std::move(page)), fileName_(std::move(fileName))
{
    setObjectName("ReportPreview");
    SetSheet(page_, *printer());
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) { Paint(page_, *printer); });

    const QString ownPrint = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    const QString ownSetup = QCoreApplication::translate("QPrintPreviewDialog", "Page setup");
    for (QAction* action : findChildren<QAction*>())
        if (action->text() == ownPrint || action->text() == ownSetup)
            action->setVisible(false);

    if (auto* bar = findChild<QToolBar*>()) {
        bar->addSeparator();
        QAction* print = bar->addAction(QString::fromUtf8("Печать"), this, &ReportPreview::PrintPage);
        print->setObjectName("PrintPage");
        QAction* save = bar->addAction(QString::fromUtf8("Сохранить в PDF…"), this, &ReportPreview::SavePdf);
        save->setObjectName("SavePdf");
    }

    // Qt's own size shows a third of a page: too small to read a line of it.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size();
        resize(room.width() * 4 / 5, room.height() * 9 / 10);
    }
    if (auto* view = findChild<QPrintPreviewWidget*>())
        view->fitToWidth();
}

void ReportPreview::ShowError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8("Ошибка"), text, QMessageBox::Ok, this);
    box.exec();
}

void ReportPreview::PrintPage()
{
    QPrinter printer(QPrinter::HighResolution);
    // Without a printer Qt would quietly write a PDF file nobody asked for.
    if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName().isEmpty()) {
        ShowError(QString::fromUtf8("Нет доступного принтера"));
        return;
    }
    SetSheet(page_, printer);
    Paint(page_, printer);
}

void ReportPreview::SavePdf()
{
    const auto chosen =
        AskSavePath(*this, {"SavePdfDialog", QString::fromUtf8("Документ PDF (*.pdf)"), ".pdf", false, fileName_});
    if (!chosen)
        return;
    if (const auto failure = reports::WritePagePdf(page_, chosen->path.toStdString()))
        ShowError(QString::fromStdString(binding::FileErrorText(*failure)));
}

void ShowReportPreview(const reports::Page& page, QWidget& parent, const QString& fileName)
{
    ReportPreview preview(page, &parent, fileName);
    preview.exec();
}

QMenu* AddReportsMenu(QMenuBar& bar)
{
    QMenu* menu = bar.addMenu(QString::fromUtf8("&Отчёты"));
    menu->setObjectName("ReportsMenu");
    menu->addAction(QString::fromUtf8("&Отчёт по текущим настройкам"))->setObjectName("ReportAction");
    menu->addAction(QString::fromUtf8("&Прочитать из прибора и составить отчёт"))->setObjectName("ReadReportAction");
    menu->addAction(QString::fromUtf8("П&аспорт прибора…"))->setObjectName("PassportAction");
    return menu;
}

}  // namespace pmv::gui
