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
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QToolBar>

namespace pmv::gui {
namespace {

// The page `copies` times, each on a sheet of its own; false when the printer took no job.
bool Paint(const reports::Page& page, QPrinter& printer, int copies = 1)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage())
            return false;
        reports::PaintPage(page, painter);
    }
    return painter.end();
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
    SetSheet(page_, printer);
    // The printer and the copies are chosen in the system's print dialog; where there is no
    // printer it offers only a PDF file, which is then the user's own choice.
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName("PrintDialog");
    dialog.setWindowTitle(QString::fromUtf8("Печать"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // A printer that makes its copies itself is sent the page once; a PDF file holds each copy.
    const bool drawsCopies = printer.outputFormat() == QPrinter::PdfFormat || !printer.supportsMultipleCopies();
    const int copies = drawsCopies ? printer.copyCount() : 1;
    if (drawsCopies)
        printer.setCopyCount(1);
    if (!Paint(page_, printer, copies)) {
        const QString where = printer.outputFormat() == QPrinter::PdfFormat
                                  ? QString::fromUtf8("файл %1 не записан").arg(printer.outputFileName())
                                  : QString::fromUtf8("принтер %1 не принял задание").arg(printer.printerName());
        ShowError(QString::fromUtf8("Страница не напечатана: %1.").arg(where));
    }
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
