#pragma once

#include "service/recorder/OperatorBoxes.h"

#include <QString>
#include <cstdint>

namespace registrator::service {

// Counts the boxes on their way to the operator and keeps the last one's text, so that a recorder
// nobody watches (headless, or a station whose screen is off) still tells /health and the Modbus
// status what it would have said.
class BoxLog final : public DialogPresenter {
public:
    explicit BoxLog(DialogPresenter& inner) : inner_(inner) {}
    void ShowGeneralError(const QString& message) override;
    void ShowPortError(std::uint32_t errorCode) override;
    void ShowOperatorMessage(const QString& text) override;

    std::uint64_t Count() const { return count_; }
    const QString& Last() const { return last_; }

private:
    void Note(const QString& text);
    DialogPresenter& inner_;
    std::uint64_t count_ = 0;
    QString last_;
};

// Without windows: each box is one line on standard error, its text on one line.
class StandardErrorPresenter final : public DialogPresenter {
public:
    void ShowGeneralError(const QString& message) override;
    void ShowPortError(std::uint32_t errorCode) override;
    void ShowOperatorMessage(const QString& text) override;
    bool OnStandardError() const override { return true; }
};

} // namespace registrator::service
