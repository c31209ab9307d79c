#pragma once

#include "reports/page.h"

#include <QPrintPreviewDialog>

class QMenuBar;

namespace pmv::gui {

// The preview of a report page, from which it is printed or saved. "Печать" prints on the
// default printer without a print dialog; "Сохранить в PDF…" asks for a file name in a save
// dialog (offering `fileName`), adds ".pdf" when the name lacks it and asks before replacing a
// file. The preview's own print and page-setup buttons are hidden: the page has a fixed sheet.
// It opens large enough to read the page: most of the screen, the page fitted to its width.
class ReportPreview final : public QPrintPreviewDialog {
    Q_OBJECT

public:
    ReportPreview(reports::Page page, QWidget* parent, QString fileName = {});

private:
    void PrintPage();
    void SavePdf();
    void ShowError(const QString& text);

    reports::Page page_;
    QString fileName_;
};

// Shows the page's preview modally over the parent; `fileName` is offered when it is saved.
void ShowReportPreview(const reports::Page& page, QWidget& parent, const QString& fileName = {});

// The menu "Отчёты" with its three commands: the report of the current settings
// ("ReportAction"), the report after a read from the instrument ("ReadReportAction") and the
// passport page ("PassportAction").
QMenu* AddReportsMenu(QMenuBar& bar);

}  // namespace pmv::gui
