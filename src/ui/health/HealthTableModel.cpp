#include "ui/health/HealthTableModel.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace registrator::ui {

namespace {

struct FlagColumn {
    const char* Title;
    int Decimals;
};
constexpr std::array<FlagColumn, HealthTableModel::kFlagColumns> kColumns = {{
    {"Пуск, с", 1},
    {"Пик пуска, А", 0},
    {"Пусков в сутки", 1},
    {"Ток в работе*, А", 1},
}};

const QColor kDrifted(255, 170, 160);
const QColor kTooFew(225, 225, 225);

} // namespace

HealthTableModel::HealthTableModel(char decimalSeparator, QObject* parent)
    : QAbstractTableModel(parent), decimalSeparator_(decimalSeparator) {}

void HealthTableModel::Show(const channels::UstavkiTable& names,
                            const std::array<reports::MotorDrift, channels::kChannelCount + 1>* drifts) {
    beginResetModel();
    for (int n = 1; n <= channels::kChannelCount; ++n)
        names_[static_cast<std::size_t>(n)] = QString::fromStdString(names[n].Name.Utf8()).trimmed();
    counted_ = drifts != nullptr;
    if (drifts)
        drifts_ = *drifts;
    endResetModel();
}

int HealthTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : channels::kChannelCount;
}

int HealthTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFirstFlagColumn + kFlagColumns;
}

const reports::Drift& HealthTableModel::DriftAt(int row, int column) const {
    const reports::MotorDrift& drift = drifts_[static_cast<std::size_t>(ChannelOfRow(row))];
    switch (column - kFirstFlagColumn) {
    case 0:
        return drift.StartSeconds;
    case 1:
        return drift.StartPeak;
    case 2:
        return drift.StartsPerDay;
    default:
        return drift.RunningCurrent;
    }
}

QString HealthTableModel::Number(double value, int decimals) const {
    // Tenths of a hundred amperes are noise, and they would widen the column past the window.
    QString text = QString::number(value, 'f', value >= 100 ? 0 : decimals);
    text.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator_));
    return text;
}

QVariant HealthTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int channel = ChannelOfRow(index.row());
    if (index.column() < kFirstFlagColumn) {
        if (role != Qt::DisplayRole && !(role == Qt::ToolTipRole && index.column() == 0))
            return {};
        if (index.column() == 0) {
            const std::string_view section = channels::SectionName(channels::SectionOfChannel(channel));
            return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size()));
        }
        return QStringLiteral("%1. %2").arg(channel).arg(names_[static_cast<std::size_t>(channel)]);
    }
    if (!counted_)
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("…")) : QVariant();
    const reports::Drift& drift = DriftAt(index.row(), index.column());
    const FlagColumn& column = kColumns[static_cast<std::size_t>(index.column() - kFirstFlagColumn)];
    const bool known = drift.Recent && drift.Past;
    switch (role) {
    case Qt::DisplayRole: {
        if (!known)
            return QStringLiteral("мало данных");
        const QString values = Number(*drift.Recent, column.Decimals) + QStringLiteral(" (было ") +
                               Number(*drift.Past, column.Decimals) + QLatin1Char(')');
        return drift.Flagged ? QStringLiteral("ВЫШЕ: ") + values : values;
    }
    case Qt::BackgroundRole:
        if (drift.Flagged)
            return QBrush(kDrifted);
        return known ? QVariant() : QVariant(QBrush(kTooFew));
    case Qt::FontRole:
        if (drift.Flagged) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        return known ? QStringLiteral("Последние 7 суток против 60 суток до них")
                     : QStringLiteral("Слишком мало суток или пусков, чтобы отличить отклонение от разброса");
    default:
        return {};
    }
}

QVariant HealthTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("Участок");
    if (section == 1)
        return QStringLiteral("Двигатель");
    return QString::fromUtf8(kColumns[static_cast<std::size_t>(section - kFirstFlagColumn)].Title);
}

} // namespace registrator::ui
