#pragma once

#include "channels/ChannelData.h"
#include "common/DateTime.h"

#include <QByteArray>
#include <QString>
#include <string_view>

namespace registrator::web {

// No page holds a script or style inline: each links its own (PageAssets.h). Every text from the
// settings, the journal or a file name reaches a page escaped, or as data its script shows as text.

// A text from the settings, the journal or a file name, as a page may hold it.
QString Escaped(std::string_view utf8);

// A page's beginning up to its body: the title, already escaped, and the style it links ("panel.css").
QString PageHead(const QString& escapedTitle, const char* style);

// The mimic panel page, drawn at once from `panelJson` (texts, colours, refresh time) and kept live by
// its event stream.
QByteArray PanelPage(const QByteArray& panelJson);

// Today's event journal, newest first, fetched from /events/data and kept up to date.
QByteArray EventsPage();

// One motor's trend of the history ring, fetched from /motor/N/data and drawn on a canvas.
QByteArray MotorPage(int channel, const channels::UstavkiTable& ustavki);

// Up to 8 motors over a period (сутки, неделя, месяц or a range), fetched from /trend/data as bands of
// their lowest and highest current around the mean, never more points than the chart is wide.
// `today` is the station's, where the page opens without a period of its own.
QByteArray TrendPage(const channels::UstavkiTable& ustavki, common::TDateTime today);

} // namespace registrator::web
