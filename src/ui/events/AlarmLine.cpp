#include "ui/events/AlarmLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace registrator::ui {

AlarmLine::AlarmLine(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("AlarmLine"));
    // A style sheet: the tool bar it sits in paints over a palette's background.
    setStyleSheet(QStringLiteral("#AlarmLine { background: #c80000; } #AlarmText { color: white; }"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 3, 8, 3);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("AlarmText"));
    QFont bold = text_->font();
    bold.setBold(true);
    bold.setPixelSize(15);
    text_->setFont(bold);
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(text_, 1);
    acknowledge_ = new QPushButton(QStringLiteral("квитировать"), this);
    acknowledge_->setObjectName(QStringLiteral("AlarmAcknowledge"));
    silence_ = new QPushButton(QStringLiteral("без звука 10 мин"), this);
    silence_->setObjectName(QStringLiteral("AlarmSilence"));
    auto* journal = new QPushButton(QStringLiteral("журнал событий"), this);
    journal->setObjectName(QStringLiteral("AlarmJournal"));
    for (QPushButton* button : {acknowledge_, silence_, journal})
        layout->addWidget(button);
    connect(acknowledge_, &QPushButton::clicked, this, &AlarmLine::acknowledgeRequested);
    connect(silence_, &QPushButton::clicked, this, &AlarmLine::silenceRequested);
    connect(journal, &QPushButton::clicked, this, &AlarmLine::journalRequested);
    hide();
}

void AlarmLine::Show(const QString& line, const QString& whole, int more, const QString& silencedUntil) {
    if (line.isEmpty()) {
        hide();
        return;
    }
    full_ = line;
    QString tip = QStringLiteral("Тревога: ") + whole;
    if (more > 0)
        tip += QStringLiteral("  (ещё не квитировано: %1)").arg(more);
    text_->setToolTip(tip);
    FitText();
    silence_->setText(silencedUntil.isEmpty() ? QStringLiteral("без звука 10 мин")
                                              : QStringLiteral("без звука до ") + silencedUntil);
    show();
}

void AlarmLine::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    FitText();
}

void AlarmLine::FitText() {
    text_->setText(text_->fontMetrics().elidedText(full_, Qt::ElideRight, text_->width()));
}

} // namespace registrator::ui
