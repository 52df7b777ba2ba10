#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <memory>

class QSoundEffect;
class QTemporaryFile;

namespace registrator::ui {

// The alarm's short tone, repeated while an alarm waits for its acknowledgement, unless the operator
// silenced it for a while. Qt Multimedia plays it where the build has it, the system's own sound call on
// Windows; elsewhere the desktop's beep stands in.
class AlarmSound : public QObject {
    Q_OBJECT
public:
    explicit AlarmSound(QObject* parent = nullptr);
    ~AlarmSound() override;

    // Whether an unacknowledged alarm is there: the tone starts at once and repeats.
    void SetAlarming(bool alarming);
    void SilenceFor(int minutes);
    // Until when it is silent; invalid when it is not.
    QDateTime SilencedUntil() const;
    bool Sounding() const { return alarming_ && !SilencedUntil().isValid(); }
    // Tones played since the start, for the tests that cannot hear them.
    int Played() const { return played_; }

signals:
    // Silence began or ran out.
    void silenceChanged();

private:
    void Play();

    bool alarming_ = false;
    QDateTime silencedUntil_;
    QTimer repeat_;
    QTimer silence_;
    int played_ = 0;
    QByteArray wav_;
#ifdef REGISTRATOR_HAS_QT_MULTIMEDIA
    std::unique_ptr<QTemporaryFile> file_;
    std::unique_ptr<QSoundEffect> effect_;
#endif
};

} // namespace registrator::ui
