#include "page_module.h"

#include <QLibrary>

#include <filesystem>
#include <system_error>

namespace pmv::cli {
namespace {

const PageModule* loaded = nullptr;

}  // namespace

std::unique_ptr<QCoreApplication> CreatePageApplication(int& argc, char** argv, std::string& error)
{
    std::error_code failed;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed) {
        error = "/proc/self/exe: " + failed.message();
        return nullptr;
    }
    const std::filesystem::path path = program.parent_path() / ".." / PMV_PAGE_MODULE;
    // The library stays loaded to the end: the application and the drawing live in it.
    QLibrary library(QString::fromStdString(path.lexically_normal().string()));
    const auto entry = reinterpret_cast<const PageModule* (*)()>(library.resolve(kPageModuleEntry));
    if (entry == nullptr) {
        error = library.errorString().toStdString();
        return nullptr;
    }
    loaded = entry();
    return std::unique_ptr<QCoreApplication>(loaded->createApplication(argc, argv));
}

reports::PdfWriter ModulePdfWriter()
{
    if (loaded == nullptr)
        return {};
    return {loaded->drawPagePdf, loaded->savePagePdf};
}

}  // namespace pmv::cli
