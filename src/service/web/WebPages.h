#pragma once

#include "channels/ChannelData.h"

#include <QByteArray>

namespace registrator::web {

// The mimic panel page, drawn at once from `panelJson` (texts, colours, refresh time) and kept live by
// its event stream. Everything it needs is in it: a plant network often has no internet.
QByteArray PanelPage(const QByteArray& panelJson);

// Today's event journal, newest first, fetched from /events/data and kept up to date.
QByteArray EventsPage();

// One motor's trend of the history ring, fetched from /motor/N/data and drawn on a canvas.
QByteArray MotorPage(int channel, const channels::UstavkiTable& ustavki);

} // namespace registrator::web
