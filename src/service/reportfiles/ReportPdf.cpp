#include "common/AtomicFile.h"
#include "service/reportfiles/ReportDocument.h"
#include "service/reportfiles/ReportFiles.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPdfWriter>

namespace registrator::reportfiles {

bool WriteReportPdf(const ReportContent& content, const std::filesystem::path& file, std::string& error) {
    // Fonts and their metrics come from the GUI application's font database.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = "a PDF report needs a QGuiApplication";
        return false;
    }
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setTitle(
            QString::fromStdString("Отчёт: " + content.Title.Station + ", " + content.Title.Period));
        writer.setCreator(QStringLiteral("Registrator ") + QString::fromStdString(content.Title.Version));
        PrintReport(content, writer);
    }
    if (bytes.isEmpty()) {
        error = "the report could not be drawn";
        return false;
    }
    std::error_code why;
    if (common::ReplaceFileAtomically(
            file, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), {}, &why) !=
        common::ReplaceResult::Replaced) {
        error = common::Utf8FromPath(file) + ": " + why.message();
        return false;
    }
    return true;
}

} // namespace registrator::reportfiles
