#pragma once

#include "reports/page.h"

#include <QPrintPreviewDialog>

class QMenuBar;

namespace pmv {

// The preview of a report page, from which it is printed or saved. "Печать" prints on the
// default printer without a print dialog; "Сохранить в PDF…" asks for a file name in a save
// dialog and adds ".pdf" when the name lacks it. The preview's own print and page-setup
// buttons are hidden: the page has a fixed sheet.
class ReportPreview final : public QPrintPreviewDialog {
    Q_OBJECT

public:
    ReportPreview(Page page, QWidget* parent);

private:
    void PrintPage();
    void SavePdf();
    void ShowError(const QString& text);

    Page page_;
};

// Shows the page's preview modally over the parent.
void ShowReportPreview(const Page& page, QWidget& parent);

// The menu "Отчёты" with its three commands: the report of the current settings
// ("ReportAction"), the report after a read from the instrument ("ReadReportAction") and the
// passport page ("PassportAction").
QMenu* AddReportsMenu(QMenuBar& bar);

}  // namespace pmv
