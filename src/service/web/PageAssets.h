#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace registrator::web {

// The pages' scripts and styles, each at an address of its own under /static/ and none inline in a
// page, so that the pages' policy can forbid every inline script, handler and style. They are served
// from the program itself: a plant network often has no internet.
struct PageAsset {
    QByteArray Type;
    QByteArray Body;
};

// The script or style at `path` ("/static/panel.js"); null when there is none.
const PageAsset* PageAssetAt(QStringView path);

// Where a page links one by its name ("panel.js"): its address with a fingerprint of its content, so
// that a browser may keep it as long as it likes and still never runs an old one with a new page.
QString PageAssetLink(const char* name);

} // namespace registrator::web
