#pragma once

#include <QObject>

class QSocketNotifier;

namespace registrator::ui {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so a desktop session ending,
// a service manager or Ctrl+C ends the program in order, saving the settings.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void endRequested();

private:
    void Drain();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace registrator::ui
