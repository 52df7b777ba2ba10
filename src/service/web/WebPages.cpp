#include "service/web/WebPages.h"

#include "events/ActiveAlarms.h"
#include "monitor/MotorCaptions.h"
#include "service/web/PageAssets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace registrator::web {

QString Escaped(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toHtmlEscaped();
}

namespace {

QString Script(const char* name) {
    return QStringLiteral("<script src=\"") + PageAssetLink(name) + QStringLiteral("\"></script>");
}

// The data a page starts from, in an element no browser runs. The characters that could end the
// element or open a comment in it are written as escapes inside the JSON's strings, where alone they
// can occur, whatever the names hold.
QString DataBlock(const char* id, QByteArray json) {
    json.replace("<", "\\u003c")
        .replace(">", "\\u003e")
        .replace("&", "\\u0026")
        .replace("\xE2\x80\xA8", "\\u2028")
        .replace("\xE2\x80\xA9", "\\u2029");
    return QStringLiteral("<script type=\"application/json\" id=\"%1\">").arg(QLatin1String(id)) +
           QString::fromUtf8(json) + QStringLiteral("</script>");
}

} // namespace

QString PageHead(const QString& escapedTitle, const char* style) {
    return QStringLiteral("<!DOCTYPE html><html lang=\"ru\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\"><title>") +
           escapedTitle + QStringLiteral("</title><link rel=\"stylesheet\" href=\"") + PageAssetLink(style) +
           QStringLiteral("\"></head>");
}

QByteArray PanelPage(const QByteArray& panelJson) {
    QString html =
        PageHead(QStringLiteral("Регистратор"), "panel.css") +
        QStringLiteral("<body><div id=\"status\"><span id=\"sim\" hidden>имитация</span>"
                       "Регистратор · <span id=\"when\"></span><span id=\"archive\">архив за <span "
                       "id=\"day\"></span>: <a id=\"csv\" download>записи</a> · <a id=\"summary\" "
                       "download>итоги дня</a> · для Excel/Calc: <a id=\"xcsv\" download>записи</a> · "
                       "<a id=\"xsummary\" download>итоги дня</a> · <a href=\"/events\">журнал событий</a> · "
                       "<a href=\"/trend\">тренд за период</a> · <a href=\"/reports\">отчёты</a>"
                       "</span></div><div id=\"alarms\" hidden><div><b></b> <span id=\"unlisted\"></span>"
                       "(квитирование — в программе)</div><ul></ul></div>");
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        html += QStringLiteral("<section><h2>") + Escaped(channels::SectionName(s)) +
                QStringLiteral("</h2><div class=\"row\">");
        for (int i = 0; i < channels::kChannelsPerSection; ++i) {
            const int n = channels::FirstChannelOfSection(s) + i;
            const monitor::MotorCaption& caption = monitor::MotorCaptionOf(n);
            html += QStringLiteral("<a class=\"motor\" href=\"/motor/%1\"><div class=\"cap\" id=\"Pan%1\">")
                        .arg(n);
            for (int line = 0; line < caption.LineCount; ++line)
                html += (line ? QStringLiteral("<br>") : QString()) + Escaped(caption.Lines[line]);
            html += QStringLiteral("</div><div class=\"tok\" id=\"Lb_Tok%1\">000</div></a>").arg(n);
        }
        html += QStringLiteral("</div></section>");
    }
    // The alarms' texts name motors as the settings do.
    html += DataBlock("initial", panelJson) + Script("panel.js") + QStringLiteral("</body></html>");
    return html.toUtf8();
}

QByteArray EventsPage() {
    return (PageHead(QStringLiteral("Журнал событий"), "table.css") + QStringLiteral(R"(<body><header>
<a href="/">← панель</a> · журнал событий за <span id="day"></span> · <span id="count"></span></header>
<table><thead><tr><th>время</th><th>событие</th><th>канал</th><th>секция</th><th>двигатель</th><th>пик, А</th>
<th>длительность, с</th><th>тревога</th><th>подробности</th></tr></thead><tbody id="lines"></tbody></table>
)") + Script("events.js") +
            QStringLiteral("</body></html>"))
        .toUtf8();
}

QByteArray MotorPage(int channel, const channels::UstavkiTable& ustavki) {
    // Named as everywhere but on the mimic: by its settings name.
    const QString name = QString::fromStdString(events::MotorName(ustavki, channel)).toHtmlEscaped();
    const QString section = Escaped(channels::SectionName(channels::SectionOfChannel(channel)));
    return (PageHead(name, "motor.css") +
            QStringLiteral(R"(<body><header><a href="/">← панель</a> · канал %2 · %3 · <b>%1</b> ·
<span id="when"></span> <span id="now"></span> · <a href="/trend?channels=%2&period=day">тренд за период</a>
</header><canvas id="chart"></canvas><div id="note">ток, А; жёлтая линия — номинальный, красная — критический</div>
)")
                .arg(name, QString::number(channel), section) +
            Script("motor.js") + QStringLiteral("</body></html>"))
        .toUtf8();
}

QByteArray TrendPage(const channels::UstavkiTable& ustavki, common::TDateTime today) {
    // The motors to pick, by section, as named in the settings; and the station's today.
    QJsonArray sections;
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        QJsonArray motors;
        for (int i = 0; i < channels::kChannelsPerSection; ++i) {
            const int n = channels::FirstChannelOfSection(s) + i;
            motors.append(QJsonArray{n, QString::fromStdString(events::MotorName(ustavki, n))});
        }
        sections.append(
            QJsonObject{{"name", QString::fromUtf8(channels::SectionName(s).data(),
                                                   static_cast<qsizetype>(channels::SectionName(s).size()))},
                        {"motors", motors}});
    }
    const QJsonObject setup{
        {"sections", sections},
        {"today", QString::fromStdString(common::FormatDate(today, "yyyy-MM-dd") + "T00:00")}};
    return (PageHead(QStringLiteral("Тренд за период"), "trend.css") +
            QStringLiteral(
                R"(<body><header><a href="/">← панель</a> · тренд за период · <span id="span"></span>
</header><div id="controls"><select id="section" aria-label="секция"></select><select id="motor" aria-label="двигатель">
</select><button id="add">добавить</button> · <select id="period" aria-label="период"><option value="day">сутки</option>
<option value="week">неделя</option><option value="month">месяц</option><option value="range">интервал</option></select>
<button id="back" title="раньше">◀</button><input type="datetime-local" id="from" aria-label="с"> —
<input type="datetime-local" id="to" aria-label="по"><button id="forward" title="позже">▶</button>
<button id="show">показать</button></div><div id="picked"></div><canvas id="chart"></canvas>
<div id="note">ток, А; полоса — от наименьшего до наибольшего за точку, линия — среднее; жёлтая линия —
номинальный, красная — критический ток отмеченного двигателя; без записей — разрыв</div>
<div id="readout"></div><div id="state"></div>)") +
            DataBlock("setup", QJsonDocument(setup).toJson(QJsonDocument::Compact)) + Script("trend.js") +
            QStringLiteral("</body></html>"))
        .toUtf8();
}

} // namespace registrator::web
