#include "tuning/CalibrationCheck.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace registrator::tuning {
namespace {

struct CheckCase {
    const char* What;
    CalibrationEntries Entries; // name, k, b, nominal, critical, power, switch-off
    std::vector<std::string> Expected;
};

class CalibrationCheck : public ::testing::TestWithParam<CheckCase> {};

// Without these lines the apply stored such entries silently and the mimic showed wrong colours.
TEST_P(CalibrationCheck, WarnsOfWhatThePanelWouldShowWrongly) {
    const CheckCase& c = GetParam();
    EXPECT_EQ(CalibrationWarnings(c.Entries, ','), c.Expected) << c.What;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CalibrationCheck,
    ::testing::Values(
        CheckCase{
            "plausible: every colour within the counts", {"", "0,5", "1", "200", "300", "75", "20"}, {}},
        CheckCase{"the file defaults",
                  {"", "50", "1", "560", "540", "200", "320"},
                  {"Пороги: ток ном. не ниже тока крит. — панель никогда не станет жёлтой (выше номинала)."}},
        CheckCase{
            "a negative critical current turns a stopped motor red",
            {"", "0,5", "1", "200", "-1", "75", "20"},
            {"Пороги: ток ном. не ниже тока крит., ток крит. не больше нуля — панель никогда не станет "
             "жёлтой (выше номинала), зелёной (работает) и серой (отключён).",
             "При x = 0 (двигатель стоит) ток 0 А: панель стоящего двигателя будет красной (перегрузка)."}},
        CheckCase{
            "a negative switch-off current: a stopped motor shows as running",
            {"", "0,5", "1", "200", "300", "75", "-5"},
            {"Пороги: ток откл. меньше нуля — панель никогда не станет серой (отключён).",
             "При x = 0 (двигатель стоит) ток 0 А: панель стоящего двигателя будет зелёной (работает)."}},
        CheckCase{"switch-off above nominal",
                  {"", "0,5", "1", "200", "300", "75", "250"},
                  {"Пороги: ток откл. не ниже тока ном. — панель никогда не станет зелёной (работает)."}},
        CheckCase{"k*1023 - b stays below nominal",
                  {"", "0,1", "0", "200", "300", "75", "20"},
                  {"По этой формуле ток от 0 до 102 А (0,1 А на отсчёт, x от 0 до 1023): панель никогда не "
                   "станет красной (перегрузка) и жёлтой (выше номинала)."}},
        CheckCase{
            "-b above critical",
            {"", "0,5", "-600", "200", "300", "75", "20"},
            {"При x = 0 (двигатель стоит) ток 600 А, а не 0: панель стоящего двигателя будет красной "
             "(перегрузка).",
             "По этой формуле ток от 600 до 1112 А (0,5 А на отсчёт, x от 0 до 1023): панель никогда не "
             "станет жёлтой (выше номинала), зелёной (работает) и серой (отключён)."}},
        CheckCase{"one count jumps over the running and nominal bands",
                  {"", "1E308", "1", "200", "300", "75", "20"},
                  {"По этой формуле ток от 0 до 9,22337203685478E18 А (1E308 А на отсчёт, x от 0 до 1023): "
                   "панель никогда не станет жёлтой (выше номинала) и зелёной (работает)."}},
        CheckCase{"negative k; the thresholds not yet typed are left out",
                  {"", "-0,5", "-5", "", "300", "75", "20"},
                  {"k меньше нуля: ток падает, когда отсчёт растёт.",
                   "При x = 0 (двигатель стоит) ток 5 А, а не 0."}},
        CheckCase{"entries that do not parse are left to the apply",
                  {"", "0.5", "-5", "200", "100", "75", "2x"},
                  {}}));

} // namespace
} // namespace registrator::tuning
