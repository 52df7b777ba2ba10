#pragma once

#include "history/DigestStore.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace registrator::history {

// For a reader someone is waiting on: a second thread makes the missing digests of the days the reader
// will come to, from the last day backwards while the reader goes forwards, so that a period without
// digests takes about half as long on two cores. What it makes is saved, and the reader finds it made.
// Does nothing on one core, nor where digests are not kept.
class DigestsAhead {
public:
    struct Day {
        common::TDateTime Date = 0;
        bool Growing = false; // the newest day, whose file may still grow
    };
    DigestsAhead(const ArchiveHistory& history, std::vector<Day> days, Need need);
    // Stops the thread within a block of the day it is making.
    ~DigestsAhead();
    DigestsAhead(const DigestsAhead&) = delete;
    DigestsAhead& operator=(const DigestsAhead&) = delete;

    // Before the reader works on day `i` of those given, in any order: back at once when the day is left
    // to the reader, else once the thread has made it.
    void Reach(std::size_t i);
    // The digests the thread has made so far.
    std::size_t Built();

private:
    enum class Turn : unsigned char { Free, Making, Made, Reader };
    void Run();

    const ArchiveHistory& history_;
    const std::vector<Day> days_;
    const Need need_;
    std::vector<Turn> turns_;
    std::size_t built_ = 0;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable made_;
    std::thread thread_;
};

} // namespace registrator::history
