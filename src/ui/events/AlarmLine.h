#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace registrator::ui {

// The line above the status strip while an alarm waits for the operator: the newest one (since when,
// how many more, what, the motor), the whole text in its tooltip, and the buttons to acknowledge it, to
// silence the tone for ten minutes and to open the journal.
class AlarmLine : public QFrame {
    Q_OBJECT
public:
    explicit AlarmLine(QWidget* parent = nullptr);

    // `line` empty: nothing waits, the line goes.
    void Show(const QString& line, const QString& whole, int more, const QString& silencedUntil);

    QLabel* Text() const { return text_; }
    QPushButton* AcknowledgeButton() const { return acknowledge_; }
    QPushButton* SilenceButton() const { return silence_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

signals:
    void acknowledgeRequested();
    void silenceRequested();
    void journalRequested();

private:
    // Cut to the room there is, whole in the tooltip: the line never widens the window.
    void FitText();

    QString full_;
    QLabel* text_;
    QPushButton* acknowledge_;
    QPushButton* silence_;
};

} // namespace registrator::ui
