#include "report_preview.h"

#include "reports/page_drawing.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QToolBar>

namespace pmv {
namespace {

void Paint(const Page& page, QPrinter& printer)
{
    QPainter painter;
    if (painter.begin(&printer))
        PaintPage(page, painter);
}

void SetSheet(const Page& page, QPrinter& printer)
{
    printer.setFullPage(true);
    printer.setPageLayout(PageLayoutOf(page));
}

}  // namespace

ReportPreview::ReportPreview(Page page, QWidget* parent) : QPrintPreviewDialog(parent), page_(std::move(page))
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
    QFileDialog dialog(this);
    dialog.setObjectName("SavePdfDialog");
    // No overwrite prompt: it would ask about the chosen name, not the one with ".pdf" added.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QString::fromUtf8("Документ PDF (*.pdf)"));
    dialog.setDirectory(QDir::currentPath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString path = dialog.selectedFiles().front();
    if (!path.endsWith(".pdf", Qt::CaseInsensitive))
        path += ".pdf";
    if (const auto failure = WritePagePdf(page_, path.toStdString()))
        ShowError(QString::fromStdString(*failure));
}

void ShowReportPreview(const Page& page, QWidget& parent)
{
    ReportPreview preview(page, &parent);
    preview.exec();
}

QMenu* AddReportsMenu(QMenuBar& bar)
{
    QMenu* menu = bar.addMenu(QString::fromUtf8("Отчёты"));
    menu->setObjectName("ReportsMenu");
    menu->addAction(QString::fromUtf8("Отчёт по текущим настройкам"))->setObjectName("ReportAction");
    menu->addAction(QString::fromUtf8("Прочитать из прибора и составить отчёт"))->setObjectName("ReadReportAction");
    menu->addAction(QString::fromUtf8("Паспорт прибора…"))->setObjectName("PassportAction");
    return menu;
}

}  // namespace pmv
