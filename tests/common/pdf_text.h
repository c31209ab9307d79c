#pragma once

#include <QProcess>
#include <QStringList>

#include <string>

namespace pmv::test {

// What a poppler tool (pdftotext, pdfinfo) prints about a PDF file; empty when it fails.
inline std::string Poppler(const char* tool, const std::string& path)
{
    QProcess process;
    QStringList arguments{QString::fromStdString(path)};
    if (std::string(tool) == "pdftotext")
        arguments << "-";
    process.start(tool, arguments);
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput().toStdString();
}

}  // namespace pmv::test
