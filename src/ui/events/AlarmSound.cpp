#include "ui/events/AlarmSound.h"

#include "events/AlarmTone.h"

#include <QApplication>

#ifdef REGISTRATOR_HAS_QT_MULTIMEDIA
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QUrl>
#elif defined(_WIN32)
#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>
#endif

namespace registrator::ui {

namespace {
constexpr int kRepeatMs = 2000;
}

AlarmSound::AlarmSound(QObject* parent)
    : QObject(parent), wav_(QByteArray::fromStdString(events::AlarmToneWav())) {
    repeat_.setInterval(kRepeatMs);
    connect(&repeat_, &QTimer::timeout, this, &AlarmSound::Play);
    silence_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, [this] {
        silencedUntil_ = {};
        emit silenceChanged();
        SetAlarming(alarming_);
    });
#ifdef REGISTRATOR_HAS_QT_MULTIMEDIA
    // The effect plays files: ours goes into one that lives as long as the program.
    file_ = std::make_unique<QTemporaryFile>(QStringLiteral("registrator-alarm-XXXXXX.wav"));
    if (file_->open() && file_->write(wav_) == wav_.size() && file_->flush()) {
        effect_ = std::make_unique<QSoundEffect>();
        effect_->setSource(QUrl::fromLocalFile(file_->fileName()));
    }
#endif
}

AlarmSound::~AlarmSound() {
#if !defined(REGISTRATOR_HAS_QT_MULTIMEDIA) && defined(_WIN32)
    // An asynchronous play reads our bytes: stop it before they go.
    PlaySoundA(nullptr, nullptr, 0);
#endif
}

void AlarmSound::SetAlarming(bool alarming) {
    const bool was = Sounding();
    alarming_ = alarming;
    if (Sounding() && !was) {
        Play();
        repeat_.start();
    } else if (!Sounding()) {
        repeat_.stop();
    }
}

void AlarmSound::SilenceFor(int minutes) {
    silencedUntil_ = QDateTime::currentDateTime().addSecs(60LL * minutes);
    silence_.start(minutes * 60 * 1000);
    repeat_.stop();
    emit silenceChanged();
}

QDateTime AlarmSound::SilencedUntil() const {
    return silencedUntil_;
}

void AlarmSound::Play() {
    ++played_;
#ifdef REGISTRATOR_HAS_QT_MULTIMEDIA
    if (effect_) {
        effect_->play();
        return;
    }
#elif defined(_WIN32)
    if (PlaySoundA(wav_.constData(), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT))
        return;
#endif
    QApplication::beep();
}

} // namespace registrator::ui
