#pragma once

#include "channels/ChannelData.h"
#include "common/DateTime.h"

#include <QByteArray>

namespace registrator::web {

// The mimic panel page, drawn at once from `panelJson` (texts, colours, refresh time) and kept live by
// its event stream. Everything it needs is in it: a plant network often has no internet.
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
