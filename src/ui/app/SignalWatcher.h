#pragma once

#include <QObject>

class QSocketNotifier;

namespace registrator::ui {

// Turns SIGTERM, SIGINT and SIGHUP (on Windows Ctrl+C and the closing of its console) into a Qt
// signal on the GUI thread, so a desktop session ending,
// a service manager or Ctrl+C ends the program in order, saving the settings.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    // Takes what the platform handler left and asks for the end; runs on the GUI thread.
    void Drain();

signals:
    void endRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace registrator::ui
