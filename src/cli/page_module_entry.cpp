// pmvctl's page module: the GUI application and the page drawing, loaded only by the commands
// that draw pages.
#include "page_module.h"
#include "reports/page_drawing.h"

#include <QGuiApplication>

namespace {

QCoreApplication* CreateApplication(int& argc, char** argv) { return new QGuiApplication(argc, argv); }

const pmv::cli::PageModule kModule{CreateApplication, pmv::reports::DrawPagePdf, pmv::reports::SavePagePdf};

}  // namespace

extern "C" Q_DECL_EXPORT const pmv::cli::PageModule* pmvctlPageModule() { return &kModule; }
