#include "ui/tuning/CalibrationWindow.h"

#include "channels/SettingsFile.h"
#include "common/NumberText.h"
#include "monitor/PanelState.h"
#include "tuning/CalibrationCheck.h"
#include "ui/monitor/MainWindow.h"
#include "ui/tuning/DesignControls.h"
#include "ui/widgets/ScreenPlacement.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QValidator>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace registrator::ui {

// Digits only, four at most, for what the operator types; the stored value, shown whole even when it
// breaks that rule (12345, -5), stands until the operator edits the field, so that an apply
// without touching it stores the value back unchanged.
class DigitValidator final : public QValidator {
public:
    explicit DigitValidator(QLineEdit& edit) : QValidator(&edit), edit_(edit) {
        connect(&edit, &QLineEdit::textEdited, this, [this] { stored_.reset(); });
    }

    // The field shows the stored value.
    void ShowStored(const QString& text) {
        stored_ = text;
        edit_.setText(text);
    }

    State validate(QString& text, int&) const override {
        if (stored_ && text == *stored_)
            return Acceptable;
        return kDigits.match(text).hasMatch() ? Acceptable : Invalid;
    }

private:
    inline static const QRegularExpression kDigits{QStringLiteral("^[0-9]{0,4}$")};
    QLineEdit& edit_;
    std::optional<QString> stored_;
};

namespace {

constexpr int kLabel16Right = 400;
// The warnings stand below everything designed: the window is 46 pixels taller than its design's 250.
constexpr QPoint kWarningsAt(16, 244);
constexpr QSize kWarningsRoom(690, 46);
constexpr int kBottomMargin = 6;
constexpr int kHeight = kWarningsAt.y() + kWarningsRoom.height() + kBottomMargin;

// A small ammeter: the decoration beside the conversion formula.
QPixmap MeterPicture() {
    QPixmap picture(64, 64);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.setBrush(QColor(250, 248, 235));
    painter.drawEllipse(QRectF(3, 3, 58, 58));
    painter.setPen(QPen(Qt::black, 1.5));
    const QPointF centre(32, 40);
    for (int i = 0; i <= 8; ++i) {
        const double angle = std::numbers::pi * (0.85 - 0.7 * i / 8.0);
        const QPointF direction(std::cos(angle), -std::sin(angle));
        painter.drawLine(centre + direction * (i % 4 == 0 ? 18.0 : 21.0), centre + direction * 24.0);
    }
    painter.setPen(QPen(QColor(200, 0, 0), 2));
    painter.drawLine(centre,
                     centre + QPointF(std::cos(std::numbers::pi * 0.35), -std::sin(std::numbers::pi * 0.35)) *
                                  22.0);
    painter.setPen(Qt::black);
    painter.setFont(SerifFont(14, true));
    painter.drawText(QRectF(0, 42, 64, 18), Qt::AlignCenter, QStringLiteral("А"));
    return picture;
}

QFrame* ColourPatch(QWidget* parent, const char* name, const QColor& colour, int x, int y) {
    auto* patch = new QFrame(parent);
    patch->setObjectName(QString::fromLatin1(name));
    patch->setFrameShape(QFrame::Panel);
    patch->setFrameShadow(QFrame::Raised);
    patch->setAutoFillBackground(true);
    QPalette palette = patch->palette();
    palette.setColor(QPalette::Window, colour);
    patch->setPalette(palette);
    patch->setGeometry(x, y, 37, 33);
    return patch;
}

QLineEdit* DigitEdit(QWidget* parent, const char* name, int x, int y, DigitValidator*& validator) {
    QLineEdit* edit = DesignEdit(parent, name, QStringLiteral("0000"), x, y, 57, 27);
    validator = new DigitValidator(*edit);
    edit->setValidator(validator);
    return edit;
}

tuning::CalibrationEntries EntriesFrom(const CalibrationWindow& window) {
    return {window.Edit1()->text().toStdString(),    window.Edit2()->text().toStdString(),
            window.Edit3()->text().toStdString(),    window.Edit4()->text().toStdString(),
            window.Edit5()->text().toStdString(),    window.MaskEdit5()->text().toStdString(),
            window.MaskEdit6()->text().toStdString()};
}

} // namespace

CalibrationWindow::CalibrationWindow(Services services, QWidget* parent)
    : QWidget(parent, kToolWindowFlags), services_(std::move(services)) {
    setObjectName(QStringLiteral("F_Kalibr"));
    setWindowTitle(QStringLiteral("калибровка"));
    setFont(SerifFont(16, true));
    setFixedSize(722, kHeight);
    MoveToDesignPosition(*this, QPoint(286, 258));
    const QFont big = SerifFont(27, true);

    DesignLabel(this, "Label11", QStringLiteral("название двигателя"), 32, 8, SerifFont(21, true),
                QColor(0, 128, 0));
    edit1_ = DesignEdit(this, "Edit1", QString(), 8, 32, 329, 27);
    label16_ = DesignLabel(this, "Label16", QStringLiteral("название двигателя"), 16, 64, SerifFont(21, true),
                           QColor(128, 0, 0));
    // A name such as "<Насос>" is a name, not markup.
    label16_->setTextFormat(Qt::PlainText);

    DesignLabel(this, "Label2", QStringLiteral("k="), 408, 16, big);
    edit2_ = DesignEdit(this, "Edit2", QStringLiteral("00000"), 446, 17, 73, 27);
    DesignLabel(this, "Label3", QStringLiteral("b="), 408, 64, big);
    edit3_ = DesignEdit(this, "Edit3", QStringLiteral("00000"), 446, 63, 73, 27);
    FitBefore(*DesignLabel(this, "Label1", QStringLiteral("y=k*x-b"), 588, 12, SerifFont(29, true)), 720);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(MeterPicture());
    image->setGeometry(588, 56, 105, 105);

    FitBefore(*DesignLabel(this, "Label10", QStringLiteral("Мощность-"), 16, 104, big), 166);
    maskEdit5_ = DigitEdit(this, "MaskEdit5", 168, 112, moshnDigits_);
    FitBefore(*DesignLabel(this, "Label14", QStringLiteral("кВт"), 228, 104, big), 302);
    FitBefore(*DesignLabel(this, "Label12", QStringLiteral("Ток откл.-"), 16, 144, big), 166);
    maskEdit6_ = DigitEdit(this, "MaskEdit6", 168, 152, oborotDigits_);
    DesignLabel(this, "Label13", QStringLiteral("А"), 240, 148, big);

    FitBefore(*DesignLabel(this, "Label6", QStringLiteral("Ток ном.="), 304, 104, big), 434);
    edit4_ = DesignEdit(this, "Edit4", QStringLiteral("00000"), 436, 108, 65, 29);
    DesignLabel(this, "Label8", QStringLiteral("А"), 508, 108, big);
    ColourPatch(this, "Panel1", PanelColour(monitor::PanelState::AboveNominal), 536, 104);
    FitBefore(*DesignLabel(this, "Label7", QStringLiteral("Ток крит.="), 296, 144, big), 434);
    edit5_ = DesignEdit(this, "Edit5", QStringLiteral("00000"), 436, 145, 65, 27);
    DesignLabel(this, "Label9", QStringLiteral("А"), 508, 148, big);
    ColourPatch(this, "Panel2", PanelColour(monitor::PanelState::Overloaded), 536, 144);

    // Not a designed control: what the selected channel reads now, to calibrate against.
    liveLine_ = DesignLabel(this, "LiveLine", QString(), 16, 200, SansFont(13, false), QColor(0, 0, 128));
    liveLine_->setGeometry(16, 200, 470, 40);
    liveLine_->setWordWrap(true);
    liveLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Not a designed control either: what the entries would make the mimic show wrongly. It never
    // stops the apply.
    warnings_ = DesignLabel(this, "Warnings", QString(), kWarningsAt.x(), kWarningsAt.y(),
                            SansFont(13, false), QColor(170, 0, 0));
    for (QLineEdit* edit : {edit2_, edit3_, edit4_, edit5_, maskEdit6_})
        connect(edit, &QLineEdit::textChanged, this, &CalibrationWindow::EntriesEdited);

    QPushButton* apply = DesignButton(this, "Button1", QStringLiteral("применить"), 500, 212, 73, 25);
    QPushButton* close = DesignButton(this, "Cloz", QStringLiteral("закрыть"), 604, 212, 73, 25);
    apply->setFont(SansFont(12, false));
    close->setFont(SansFont(12, false));
    FitButtonText(*apply);
    FitButtonText(*close);
    connect(apply, &QPushButton::clicked, this, &CalibrationWindow::Button1Click);
    connect(close, &QPushButton::clicked, this, &CalibrationWindow::ClozClick);

    QWidget* order[] = {apply, close, edit1_, maskEdit5_, maskEdit6_, edit2_, edit3_, edit4_, edit5_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ShowWarnings();
}

void CalibrationWindow::OpenForEditing() {
    ShowModeless(*this);
    edit1_->setFocus();
}

void CalibrationWindow::FillFields(int channel) {
    const tuning::CalibrationEntries texts =
        tuning::EntriesOf(services_.Data.Ustavki[channel], services_.Regional.DecimalSeparator);
    edit1_->setText(QString::fromStdString(texts.Name));
    edit2_->setText(QString::fromStdString(texts.Koof_K));
    edit3_->setText(QString::fromStdString(texts.Koof_B));
    edit4_->setText(QString::fromStdString(texts.T_Nom));
    edit5_->setText(QString::fromStdString(texts.T_Max));
    moshnDigits_->ShowStored(QString::fromStdString(texts.Moshn));
    oborotDigits_->ShowStored(QString::fromStdString(texts.Oborot));
    // Also when the section window moves the selection: the heading must name the channel that
    // "применить" will write.
    ShowStoredName(channel);
}

void CalibrationWindow::ShowStoredName(int channel) {
    label16_->setFont(SerifFont(21, true));
    label16_->setText(QString::fromStdString(services_.Data.Ustavki[channel].Name.Utf8()));
    label16_->adjustSize();
    // A long name keeps all its characters in smaller type rather than running under "b=".
    FitBefore(*label16_, kLabel16Right);
}

void CalibrationWindow::RefreshLiveLine() {
    const int channel = services_.Data.SelChannel;
    if (!isVisible() || channel < 1 || channel > channels::kChannelCount)
        return;
    const QString text =
        QStringLiteral("Сейчас на канале %1: отсчёт x = %2, ток %3 А")
            .arg(channel)
            .arg(QString::fromStdString(
                common::FloatToText(services_.Data.RawCount(channel), services_.Regional.DecimalSeparator)))
            .arg(QString::fromStdString(monitor::CurrentLabelText(services_.Data.Current(channel).Value)));
    if (liveLine_->text() != text)
        liveLine_->setText(text);
}

void CalibrationWindow::EntriesEdited() {
    services_.Guard([&] { ShowWarnings(); });
}

void CalibrationWindow::ShowWarnings() {
    QStringList lines;
    for (const std::string& warning :
         tuning::CalibrationWarnings(EntriesFrom(*this), services_.Regional.DecimalSeparator))
        lines << QString::fromStdString(warning);
    const QString text = lines.join(QLatin1Char('\n'));
    if (text == warningsText_)
        return;
    warningsText_ = text;
    FitWithin(*warnings_, text, SansFont(13, false), kWarningsRoom, 9, LineBreaks::AnySize);
    // Many warnings at once in the smallest type: the window grows rather than cut one.
    setFixedHeight(std::max(kHeight, warnings_->y() + warnings_->height() + kBottomMargin));
}

void CalibrationWindow::Button1Click() {
    services_.Guard([&] { Apply(); });
}

void CalibrationWindow::ClozClick() {
    services_.Guard([&] { hide(); });
}

void CalibrationWindow::Apply() {
    const int channel = services_.Data.SelChannel;
    // Shown only by a panel click, which selects; a window with no channel has nothing to store into.
    if (channel < 1 || channel > channels::kChannelCount)
        return;
    // Whatever the apply stored before it stopped is in the table, and so in the journal.
    struct Audit {
        const Services& services;
        int channel;
        channels::TUstavka before;
        ~Audit() {
            if (services.Applied)
                services.Applied(channel, before, services.Data.Ustavki[channel]);
        }
    } audit{services_, channel, services_.Data.Ustavki[channel]};
    channels::SettingsFile file(services_.SettingsPath(), services_.Regional);
    const tuning::CalibrationOutcome outcome = tuning::ApplyCalibration(
        EntriesFrom(*this), services_.Data.Ustavki, channel, file, services_.Regional, services_.Messages);
    if (outcome.BadField) {
        QLineEdit* edit = FieldEdit(*outcome.BadField);
        edit->selectAll();
        edit->setFocus();
        return;
    }
    if (outcome.Saved)
        ShowStoredName(channel);
}

QLineEdit* CalibrationWindow::FieldEdit(tuning::CalibrationField field) const {
    switch (field) {
    case tuning::CalibrationField::Koof_K:
        return edit2_;
    case tuning::CalibrationField::Koof_B:
        return edit3_;
    case tuning::CalibrationField::T_Nom:
        return edit4_;
    case tuning::CalibrationField::T_Max:
        return edit5_;
    case tuning::CalibrationField::Moshn:
        return maskEdit5_;
    case tuning::CalibrationField::Oborot:
        break;
    }
    return maskEdit6_;
}

} // namespace registrator::ui
