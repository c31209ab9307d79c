#pragma once

#include "reports/page.h"
#include "reports/page_writer.h"

#include <QCoreApplication>

#include <memory>
#include <optional>
#include <string>

namespace pmv::cli {

// QtGui and the libraries it pulls in take longer to load than a whole read of the instrument at
// 57600 baud. pmvctl therefore does not link it: the commands that draw pages load it with a
// module of their own, which makes the GUI application (fonts need one) and draws the pages.
struct PageModule {
    QCoreApplication* (*createApplication)(int& argc, char** argv);
    std::optional<std::string> (*drawPagePdf)(const reports::Page& page);
    std::optional<ini::FileError> (*savePagePdf)(const std::string& document, const std::string& path);
};

// The module's one exported function, returning its PageModule.
inline constexpr const char* kPageModuleEntry = "pmvctlPageModule";

// Loads the module (lib/<multiarch>/pmv77xx/pmvctl-pages.so beside the folder of the running
// program, as installed and as built) and makes the application with it; null with the reason in `error`
// when the module cannot be loaded. From then on ModulePdfWriter draws with the module.
std::unique_ptr<QCoreApplication> CreatePageApplication(int& argc, char** argv, std::string& error);

// Draws and saves with the loaded module; before it is loaded, every page fails to be written.
reports::PdfWriter ModulePdfWriter();

}  // namespace pmv::cli
