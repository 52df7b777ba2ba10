#include "service/reportfiles/ReportDocument.h"

#include "service/reportfiles/ReportLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <set>

namespace registrator::reportfiles {

namespace {

using layout::Unit;

QString Html(const std::string& utf8) {
    return QString::fromStdString(utf8).toHtmlEscaped();
}

class HtmlWriter {
public:
    QString Text;

    void Heading(const std::string& text, bool newPage = false) {
        Text +=
            (newPage ? QStringLiteral("<h3 style=\"page-break-before: always\">") : QStringLiteral("<h3>")) +
            Html(text) + QStringLiteral("</h3>");
    }
    void Paragraph(const std::string& text) {
        Text += QStringLiteral("<p>") + Html(text) + QStringLiteral("</p>");
    }
    // `widths` in per cent for the first columns; the rest share what is left.
    void BeginTable(const std::vector<std::string>& captions, const std::vector<int>& widths = {}) {
        Text += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\" "
                               "style=\"border-collapse:collapse; border-color:#808080\"><thead><tr>");
        for (std::size_t i = 0; i < captions.size(); ++i)
            Text +=
                (i < widths.size() ? QStringLiteral("<th bgcolor=\"#e4e4e4\" width=\"%1%\">").arg(widths[i])
                                   : QStringLiteral("<th bgcolor=\"#e4e4e4\">")) +
                Html(captions[i]) + QStringLiteral("</th>");
        Text += QStringLiteral("</tr></thead>");
    }
    void EndTable() { Text += QStringLiteral("</table>"); }
    void BeginRow(bool strong = false) {
        Text += strong ? QStringLiteral("<tr style=\"font-weight:bold\" bgcolor=\"#f2f2f2\">")
                       : QStringLiteral("<tr>");
    }
    void EndRow() { Text += QStringLiteral("</tr>"); }
    void Cell(const std::string& text, bool number = false) {
        Text += (number ? QStringLiteral("<td align=\"right\">") : QStringLiteral("<td>")) + Html(text) +
                QStringLiteral("</td>");
    }
    void Figures(const reports::MotorFigures& figures) {
        for (const layout::FigureColumn& column : layout::FigureColumns()) {
            const std::optional<double> value = column.Value(figures);
            Cell(value ? layout::FigureText(column.Kind, *value) : "—", true);
        }
    }
};

// The channel, the name, then the figures alike.
const std::vector<int> kFigureWidths = {5, 11, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};

std::vector<std::string> FigureCaptions(const char* first, const char* second) {
    std::vector<std::string> captions = {first, second};
    for (const layout::FigureColumn& column : layout::FigureColumns())
        captions.emplace_back(column.Caption);
    return captions;
}

void WriteFigures(HtmlWriter& w, const reports::PeriodFigures& figures) {
    w.Heading("Итоги по станции");
    w.BeginTable(FigureCaptions("Секция", "Название"), kFigureWidths);
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        w.BeginRow();
        w.Cell(std::to_string(s), true);
        w.Cell(std::string(channels::SectionName(s)));
        w.Figures(figures.Sections[static_cast<std::size_t>(s)]);
        w.EndRow();
    }
    w.BeginRow(true);
    w.Cell("");
    w.Cell("Вся станция");
    w.Figures(figures.Plant);
    w.EndRow();
    w.EndTable();

    for (int s = 1; s <= channels::kSectionCount; ++s) {
        // Two sections to a page after the first, so that no heading is left at a page's foot.
        w.Heading(layout::SectionTitle(s), s % 2 == 0);
        w.BeginTable(FigureCaptions("Канал", "Двигатель"), kFigureWidths);
        for (int n = channels::FirstChannelOfSection(s); n < channels::FirstChannelOfSection(s + 1); ++n) {
            w.BeginRow();
            w.Cell(std::to_string(n), true);
            w.Cell(layout::MotorName(figures, n));
            w.Figures(figures.Motors[static_cast<std::size_t>(n)]);
            w.EndRow();
        }
        w.BeginRow(true);
        w.Cell("");
        w.Cell("Итого по секции");
        w.Figures(figures.Sections[static_cast<std::size_t>(s)]);
        w.EndRow();
        w.EndTable();
    }
}

void WriteAlarms(HtmlWriter& w, const reports::PeriodFigures& figures) {
    w.Heading("Тревоги за период");
    if (figures.Alarms.empty()) {
        w.Paragraph("Тревог не было.");
        return;
    }
    w.BeginTable({layout::AlarmCaptions().begin(), layout::AlarmCaptions().end()});
    for (const reports::AlarmLine& alarm : figures.Alarms) {
        w.BeginRow();
        const std::vector<std::string> cells = layout::AlarmCells(alarm);
        for (std::size_t i = 0; i < cells.size(); ++i)
            w.Cell(cells[i], i == 2 || i == 5);
        w.EndRow();
    }
    w.EndTable();
}

void WriteCalibrations(HtmlWriter& w, const reports::PeriodFigures& figures) {
    w.Heading("Изменения калибровки");
    if (figures.Calibrations.empty()) {
        w.Paragraph("Калибровку не меняли.");
        return;
    }
    w.BeginTable({layout::CalibrationCaptions().begin(), layout::CalibrationCaptions().end()});
    for (const reports::CalibrationLine& change : figures.Calibrations)
        for (const reports::CalibrationField& field : change.Fields) {
            w.BeginRow();
            w.Cell(layout::TimeText(change.Time));
            w.Cell(change.Channel ? std::to_string(*change.Channel) : "", true);
            w.Cell(change.Motor);
            w.Cell(field.Caption);
            w.Cell(field.Old, true);
            w.Cell(field.New, true);
            w.EndRow();
        }
    w.EndTable();
}

std::string DriftText(const std::optional<double>& value, int decimals) {
    return value ? layout::NumberText(*value, decimals) : "—";
}

void WriteHealth(HtmlWriter& w, const reports::PeriodFigures& figures, const reports::MotorHealth& health) {
    w.Heading("Состояние двигателей", true);
    w.Paragraph(layout::HealthPeriodText(health));
    std::vector<std::string> captions = {"Канал", "Двигатель"};
    for (const layout::DriftColumn& column : layout::DriftColumns()) {
        captions.push_back(std::string(column.Caption) + ", последние");
        captions.push_back(std::string(column.Caption) + ", прежде");
    }
    captions.emplace_back("Отметки");
    bool any = false;
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const reports::MotorDrift& drift = health.Drifts[static_cast<std::size_t>(n)];
        if (!layout::HasHealthData(drift))
            continue;
        if (!any)
            w.BeginTable(captions, {5, 12});
        any = true;
        w.BeginRow(drift.Any());
        w.Cell(std::to_string(n), true);
        w.Cell(layout::MotorName(figures, n));
        for (const layout::DriftColumn& column : layout::DriftColumns()) {
            const reports::Drift& d = drift.*column.Member;
            w.Cell(DriftText(d.Recent, column.DecimalPlaces), true);
            w.Cell(DriftText(d.Past, column.DecimalPlaces), true);
        }
        w.Cell(layout::FlagsText(drift));
        w.EndRow();
    }
    if (any)
        w.EndTable();
    else
        w.Paragraph("Данных для сравнения нет.");
}

} // namespace

QString ReportHtml(const ReportContent& content) {
    HtmlWriter w;
    const ReportTitle& title = content.Title;
    w.Text += QStringLiteral("<html><body>");
    w.Text += QStringLiteral("<h2>Отчёт: ") + Html(title.Station) + QStringLiteral("</h2>");
    w.Text += QStringLiteral("<p><b>Период:</b> ") + Html(title.Period) +
              QStringLiteral("<br><b>Составлен:</b> ") + Html(layout::TimeText(title.MadeAt)) +
              QStringLiteral(", версия программы ") + Html(title.Version) + QStringLiteral("</p>");
    WriteFigures(w, content.Figures);
    WriteAlarms(w, content.Figures);
    WriteCalibrations(w, content.Figures);
    if (content.Health)
        WriteHealth(w, content.Figures, *content.Health);
    const std::vector<std::string> remarks = layout::Remarks(content.Figures);
    if (!remarks.empty()) {
        w.Heading("Примечания");
        for (const std::string& remark : remarks)
            w.Paragraph(remark);
    }
    w.Text += QStringLiteral("</body></html>");
    return w.Text;
}

namespace {

// Starts a page before each section heading whose table would otherwise run onto the next page: a
// motor name wrapped to two lines makes a section longer than two of them to a page allow.
void KeepSectionsWhole(QTextDocument& document) {
    std::set<QString> titles;
    for (int s = 1; s <= channels::kSectionCount; ++s)
        titles.insert(QString::fromStdString(layout::SectionTitle(s)));
    QAbstractTextDocumentLayout* flow = document.documentLayout();
    const double page = document.pageSize().height();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!titles.count(block.text()) || !block.next().isValid())
            continue;
        QTextTable* table = QTextCursor(block.next()).currentTable();
        if (!table)
            continue;
        const double top = flow->blockBoundingRect(block).top();
        const QRectF body = flow->frameBoundingRect(table);
        const auto first = static_cast<int>(top / page);
        const bool atPageTop = top - first * page < page / 20;
        if (atPageTop || first == static_cast<int>((body.bottom() - 1) / page) || body.height() > page * 0.9)
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(block).setBlockFormat(format);
    }
}

} // namespace

void PrintReport(const ReportContent& content, QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(20, 15, 20, 12), QPageLayout::Millimeter));
    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(7.5);
    document.setDefaultFont(font);
    document.setDefaultStyleSheet(
        QStringLiteral("h2 { font-size: 13pt; } h3 { font-size: 10pt; margin-top: 10px; }"
                       " th { font-weight: bold; font-size: 6.5pt; }"));
    document.documentLayout()->setPaintDevice(&device);
    document.setHtml(ReportHtml(content));
    document.setDocumentMargin(0);
    // Paged here rather than by QTextDocument::print, so that a section's table can be kept on one page;
    // the foot of each page keeps its number.
    const QRect paper = device.pageLayout().paintRectPixels(device.logicalDpiX());
    QFont footFont = font;
    footFont.setPointSizeF(6.5);
    const double footHeight = QFontMetricsF(footFont, &device).height() * 2;
    const QSizeF body(paper.width(), paper.height() - footHeight);
    document.setPageSize(body);
    KeepSectionsWhole(document);
    const int pages = document.pageCount();
    QPainter painter(&device);
    painter.setFont(footFont);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            device.newPage();
        painter.save();
        painter.translate(0, -i * body.height());
        document.drawContents(&painter, QRectF(QPointF(0, i * body.height()), body));
        painter.restore();
        painter.drawText(QRectF(0, body.height(), body.width(), footHeight), Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("стр. %1 из %2").arg(i + 1).arg(pages));
    }
}

} // namespace registrator::reportfiles
