#ifndef _WIN32 // the workbook's and the PDF's readers are Linux programs
#include "service/reportfiles/ReportFiles.h"

#include "common/Utf8Path.h"
#include "core/history/HistoryTestSupport.h"
#include "service/reportfiles/ReportTitles.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"
#include "ui/reports/ReportsWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>

namespace registrator::reportfiles {
namespace {

using history::test::kDay1;
using history::test::kSecond;

constexpr std::array kMotors = {1, 17, 40}; // in sections 1, 2 and 4

// Motor 1 runs two ten-minute stretches in three, motor 17 the first 377 s of every 1000, motor 40 from
// 09:00 to 15:30 only; the others stand still. Off is at or below 10 A.
double Reading(int n, std::int64_t s) {
    switch (n) {
    case 1:
        return (s / 600) % 3 != 0 ? 60 : 0;
    case 17:
        return s % 1000 < 377 ? 45.5 : 2;
    case 40:
        return s >= 9 * 3600 && s < 15 * 3600 + 1800 ? 120 : 0;
    default:
        return 0;
    }
}

// A record a quarter past each second from 07:00 to 21:00, none for five minutes from 12:00.
std::vector<archive::TArhivRec> Records() {
    std::vector<archive::TArhivRec> records(14 * 3600);
    std::int64_t s = 7 * 3600;
    for (archive::TArhivRec& record : records) {
        record.Time = (static_cast<double>(s) + 0.25) * kSecond;
        for (std::size_t i = 0; i < std::size(record.Tok); ++i)
            record.Tok[i] = Reading(static_cast<int>(i) + 1, s);
        ++s;
    }
    std::erase_if(records,
                  [](const archive::TArhivRec& r) { return r.Time >= 0.5 && r.Time < 0.5 + 300 * kSecond; });
    return records;
}

// The test's own count of run seconds in [from, to) seconds of the day: each record stands until the next
// when that comes within 3 s, else for 1 s.
double OwnRunSeconds(const std::vector<archive::TArhivRec>& records, int n, double from, double to) {
    double run = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const double t = records[i].Time * 86400;
        const double next = i + 1 < records.size() ? records[i + 1].Time * 86400 : 1e9;
        const double end = next - t <= 3 ? next : t + 1;
        if (records[i].Tok[n - 1] > 10)
            run += std::max(0.0, std::min(end, to) - std::max(t, from));
    }
    return run;
}

struct Plant {
    support::TempFolder folder;
    std::vector<archive::TArhivRec> records = Records();
    channels::UstavkiTable present = history::test::Present();
    reports::ReportPeriod shift{kDay1 + 8.0 / 24, kDay1 + 20.0 / 24};

    Plant() {
        present[1].Name = common::MotorName::FromUtf8("Дробилка");
        present[17].Name = common::MotorName::FromUtf8("Смеситель");
        present[40].Name = common::MotorName::FromUtf8("Вентилятор");
        history::test::WriteDay(folder.Slash() + common::ArchiveDateText(kDay1) + ".txt", records);
    }
    // The figures counted afresh each time, as a report made again would count them.
    ReportContent Content() const {
        const history::ArchiveHistory history(folder.Slash(), present);
        history::Workspace work;
        reports::FiguresRequest request;
        request.From = shift.From;
        request.To = shift.To;
        ReportContent content;
        content.Figures = reports::CountPeriod(history, request, work);
        content.Title = {"ДСП-3 «Север»", ShiftTitle(1, shift), "0.1", kDay1 + 20.5 / 24};
        return content;
    }
};

// What openpyxl, a reader other than ours, finds in a workbook.
QJsonObject ReadWorkbook(const std::string& path) {
    static const char* script = R"(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
out = {"sheets": book.sheetnames, "freeze": {}, "run": {}, "bad": [], "cells": []}
for sheet in book.worksheets:
    out["freeze"][sheet.title] = sheet.freeze_panes
    for row in sheet.iter_rows():
        out["cells"].append([repr(c.value) for c in row])
    if not sheet.title.startswith("Секция"):
        continue
    for row in sheet.iter_rows(min_row=4, max_row=15):
        if row[0].data_type != "n" or row[2].data_type != "n" or row[2].number_format != "0.00":
            out["bad"].append(sheet.title + " row " + str(row[0].row) + ": channel or run hours")
        for cell in row[2:14]:
            if cell.value is not None and cell.data_type not in ("n", "d"):
                out["bad"].append(cell.coordinate + " of " + sheet.title + " holds " + repr(cell.value))
        if row[8].number_format != "[h]:mm:ss":
            out["bad"].append(sheet.title + ": overload time is no duration")
        out["run"][str(row[0].value)] = row[2].value
print(json.dumps(out))
)";
    // Debian's interpreter, which has Debian's openpyxl, whatever else the PATH puts first.
    QProcess python;
    python.start(QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                   : QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(script), QString::fromStdString(path)});
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

TEST(ReportFiles, WorkbookHoldsNumbersPerSectionAndTheRunHoursOfTheRecords) {
    Plant plant;
    const std::string first = plant.folder.Slash() + "смена.xlsx";
    const std::string again = plant.folder.Slash() + "again.xlsx";
    std::string error;
    ASSERT_TRUE(WriteReportXlsx(plant.Content(), common::PathFromUtf8(first), error)) << error;
    ASSERT_TRUE(WriteReportXlsx(plant.Content(), common::PathFromUtf8(again), error)) << error;

    const QJsonObject book = ReadWorkbook(first);
    QStringList sheets;
    for (const QJsonValue& name : book[QStringLiteral("sheets")].toArray())
        sheets << name.toString();
    EXPECT_EQ(sheets, (QStringList{"Станция", "Секция 1", "Секция 2", "Секция 3", "Секция 4", "Секция 5",
                                   "Секция 6", "Тревоги", "Калибровка"}));
    for (const QString& sheet : sheets)
        EXPECT_EQ(book[QStringLiteral("freeze")][sheet].toString().mid(1), QStringLiteral("4"))
            << "the caption row of " << sheet.toStdString() << " stays in view";
    EXPECT_TRUE(book[QStringLiteral("bad")].toArray().isEmpty())
        << QJsonDocument(book[QStringLiteral("bad")].toArray()).toJson().toStdString();
    for (const int n : kMotors) {
        const double own = OwnRunSeconds(plant.records, n, 8 * 3600, 20 * 3600);
        EXPECT_GT(own, 3600) << "motor " << n << " runs in the shift";
        EXPECT_NEAR(book[QStringLiteral("run")][QString::number(n)].toDouble(-1), own / 3600, 0.002 / 3600)
            << "motor " << n;
    }
    EXPECT_EQ(book[QStringLiteral("run")][QStringLiteral("2")].toDouble(-1), 0);
    EXPECT_EQ(ReadWorkbook(again)[QStringLiteral("cells")], book[QStringLiteral("cells")])
        << "the same period made again gives the same cells";
}

std::string PdfText(const std::string& path) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-layout"), QString::fromStdString(path), QStringLiteral("-")});
    EXPECT_TRUE(text.waitForFinished(60000));
    EXPECT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
    return text.readAllStandardOutput().toStdString();
}

TEST(ReportFiles, PdfWrittenOffTheGuiThreadNamesStationPeriodAndFigures) {
    Plant plant;
    ReportContent content = plant.Content();
    const std::string path = plant.folder.Slash() + "смена.pdf";
    bool written = false;
    std::string error;
    std::unique_ptr<QThread> worker(
        QThread::create([&] { written = WriteReportPdf(content, common::PathFromUtf8(path), error); }));
    worker->start();
    worker->wait();
    ASSERT_TRUE(written) << error;

    const std::string text = PdfText(path);
    EXPECT_NE(text.find("ДСП-3 «Север»"), std::string::npos) << text.substr(0, 400);
    EXPECT_NE(text.find("Смена 1, 09.03.2026 08:00 – 20:00"), std::string::npos) << text.substr(0, 400);
    EXPECT_NE(text.find("Составлен: 09.03.2026 20:30:00, версия программы 0.1"), std::string::npos);
    // Each motor's row carries its run hours as the records give them.
    for (const int n : kMotors) {
        const std::string& name = content.Figures.Names[static_cast<std::size_t>(n)];
        const std::size_t row = text.find(name);
        ASSERT_NE(row, std::string::npos) << name;
        const std::string line = text.substr(row, text.find('\n', row) - row);
        char hours[32];
        std::snprintf(hours, sizeof hours, "%.2f",
                      OwnRunSeconds(plant.records, n, 8 * 3600, 20 * 3600) / 3600);
        // The report's decimal comma, whatever this process's locale gave snprintf.
        std::string expected = hours;
        std::replace(expected.begin(), expected.end(), '.', ',');
        EXPECT_NE(line.find(" " + expected + " "), std::string::npos) << line;
    }

    // A failed write leaves no file and says why; the old report stays whole.
    const std::string before = support::ReadFileBytes(path);
    EXPECT_FALSE(
        WriteReportXlsx(content, common::PathFromUtf8(plant.folder.Slash() + "нет/отчёт.xlsx"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(common::PathFromUtf8(plant.folder.Slash() + "нет")));
    content.Figures.Calibrations.push_back({kDay1 + 0.5, 17, "Смеситель", {{"Ток ном.", "100", "120"}}});
    ASSERT_TRUE(WriteReportPdf(content, common::PathFromUtf8(path), error)) << error;
    EXPECT_NE(support::ReadFileBytes(path), before);
    const std::string changed = PdfText(path);
    EXPECT_NE(changed.find("Ток ном."), std::string::npos) << "the calibration change is listed";
}

TEST(ReportFiles, PdfKeepsEachSectionsTableOnOnePageWhenLongNamesWrap) {
    Plant plant;
    for (int n = 1; n <= 72; ++n)
        plant.present[n].Name = common::MotorName::FromUtf8("Рыхлитель питателя " + std::to_string(n));
    const std::string path = plant.folder.Slash() + "сутки.pdf";
    std::string error;
    ASSERT_TRUE(WriteReportPdf(plant.Content(), common::PathFromUtf8(path), error)) << error;

    // Page by page (pdftotext puts a form feed between them): a section heading and its total together.
    const std::string text = PdfText(path);
    std::vector<std::string> pages;
    for (std::size_t from = 0, end; from < text.size(); from = end + 1) {
        end = std::min(text.find('\f', from), text.size());
        pages.push_back(text.substr(from, end - from));
    }
    const auto count = [](const std::string& page, const std::string& what) {
        int found = 0;
        for (std::size_t at = page.find(what); at != std::string::npos; at = page.find(what, at + 1))
            ++found;
        return found;
    };
    int sections = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        int headings = 0;
        for (int section = 1; section <= 6; ++section)
            headings += count(pages[i], "Секция " + std::to_string(section) + ".");
        sections += headings;
        EXPECT_EQ(count(pages[i], "Итого по секции"), headings) << "page " << i + 1 << ":\n" << pages[i];
    }
    EXPECT_EQ(sections, 6);
    EXPECT_NE(pages.front().find("стр. 1 из "), std::string::npos) << pages.front();
}

struct WindowPlant : Plant {
    common::SettableClock clock{kDay1 + 2.5};
    channels::ChannelData data;
    support::RecordingMessages messages;
    std::string settings = folder.Slash() + "Registrator.ini";

    WindowPlant() {
        data.Ustavki = present;
        support::WriteFileBytes(settings, "[Shifts]\r\nStarts=07:30,19:30\r\n");
    }
    ui::ReportsWindow::Services Services() {
        return {folder.Slash(), data, clock, [this] { return settings; }, "ДСП-3", messages};
    }
};

// Runs the event loop until the window's count has ended, its thread gone.
bool CountEnds(const ui::ReportsWindow& window) {
    QElapsedTimer waited;
    waited.start();
    while (window.Counting() && waited.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return !window.Counting();
}

TEST(ReportsWindow, CountsTheSettingsShiftOffTheGuiThreadAndSavesWhatItPreviews) {
    WindowPlant plant;
    ui::ReportsWindow window(plant.Services());
    window.ShowModeless();
    EXPECT_EQ(window.ShiftChoice()->itemText(1), QStringLiteral("2 (19:30–07:30)"));
    window.KindChoice()->setCurrentIndex(ui::ReportsWindow::Shift);
    window.DayChoice()->setDate(QDate(2026, 3, 9));
    window.ShiftChoice()->setCurrentIndex(0);
    EXPECT_FALSE(window.PdfButton()->isEnabled()) << "nothing to save yet";
    QSignalSpy ready(&window, &ui::ReportsWindow::reportReady);
    window.MakeButton()->click();
    EXPECT_TRUE(window.Counting()) << "the click returns while the thread counts";
    ASSERT_TRUE(ready.wait(120000));

    const ReportContent& content = *window.Content();
    EXPECT_EQ(content.Title.Period, "Смена 1, 09.03.2026 07:30 – 19:30");
    EXPECT_EQ(content.Title.Station, "ДСП-3");
    for (const int n : kMotors)
        EXPECT_NEAR(content.Figures.Motors[static_cast<std::size_t>(n)].RunSeconds,
                    OwnRunSeconds(plant.records, n, 7.5 * 3600, 19.5 * 3600), 0.002)
            << "motor " << n;
    EXPECT_GE(window.Preview()->pageCount(), 4) << "the preview draws the report's pages";
    EXPECT_TRUE(window.XlsxButton()->isEnabled());
    const std::string book = plant.folder.Slash() + "отчёт.xlsx";
    ASSERT_TRUE(window.SaveXlsx(QString::fromStdString(book)));
    EXPECT_NEAR(ReadWorkbook(book)[QStringLiteral("run")][QStringLiteral("17")].toDouble(-1),
                OwnRunSeconds(plant.records, 17, 7.5 * 3600, 19.5 * 3600) / 3600, 0.002 / 3600);
    if (const QByteArray shot = qgetenv("REGISTRATOR_REPORTS_SHOT"); !shot.isEmpty())
        window.grab().save(QString::fromLocal8Bit(shot));
    EXPECT_FALSE(window.SaveXlsx(QString::fromStdString(plant.folder.Slash() + "нет/отчёт.xlsx")));
    ASSERT_EQ(plant.messages.Texts.size(), 1u);
    EXPECT_EQ(plant.messages.Texts[0].rfind("Отчёт не сохранён: ", 0), 0u) << plant.messages.Texts[0];
}

TEST(ReportsWindow, ClosedOrDestroyedWhileCountingLeavesNoReportAndNoThread) {
    WindowPlant plant;
    {
        ui::ReportsWindow window(plant.Services());
        window.ShowModeless();
        window.KindChoice()->setCurrentIndex(ui::ReportsWindow::Month);
        window.DayChoice()->setDate(QDate(2026, 3, 9));
        QSignalSpy ready(&window, &ui::ReportsWindow::reportReady);
        window.MakeButton()->click();
        window.close();
        ASSERT_TRUE(CountEnds(window));
        QCoreApplication::processEvents();
        EXPECT_EQ(ready.count(), 0);
        EXPECT_EQ(window.Content(), nullptr) << "a count given up shows nothing";
        EXPECT_FALSE(window.PrintButton()->isEnabled());
    }
    auto window = std::make_unique<ui::ReportsWindow>(plant.Services());
    window->KindChoice()->setCurrentIndex(ui::ReportsWindow::Month);
    window->DayChoice()->setDate(QDate(2026, 3, 9));
    window->MakeButton()->click();
    ASSERT_TRUE(window->Counting());
    window.reset(); // waits for its thread, which reports to nothing afterwards
    QCoreApplication::processEvents();
}

} // namespace
} // namespace registrator::reportfiles

#endif
