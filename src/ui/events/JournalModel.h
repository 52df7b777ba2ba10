#pragma once

#include "events/JournalEntry.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace registrator::ui {

// One day's event journal as a table, newest first, read from its file and followed as it grows.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Kind, Channel, Section, Motor, Peak, Seconds, Alarm, Details, ColumnCount };

    explicit JournalModel(QObject* parent = nullptr);

    // The day's whole file; a missing one is an empty day.
    void Open(const std::string& path);
    // The lines written since, on top.
    void Follow();
    const std::string& Path() const { return path_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // The column's text as the journal has it.
    static QString Text(const events::JournalEntry& line, int column);

    std::string path_;
    std::uint64_t offset_ = 0;
    std::vector<events::JournalEntry> lines_; // oldest first; row r is lines_[size - 1 - r]
};

// The operator's filters over the journal: a section, a motor, a kind; 0 and "" let everything through.
class JournalFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetSection(const QString& section);
    void SetChannel(int channel);
    void SetKind(const QString& kind);

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    QString section_;
    int channel_ = 0;
    QString kind_;
};

} // namespace registrator::ui
