#pragma once

#include "common/DateTime.h"
#include "common/MotorName.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace registrator::channels {

constexpr int kChannelCount = 72;
constexpr int kSectionCount = 6;
constexpr int kChannelsPerSection = 12;
// Slots 0..2999 form the ring; indexes up to 65000 are readable and always zero.
constexpr int kRingSize = 3000;
constexpr int kHistoryLastIndex = 65000;

// Settings of one channel, in the record order the rest of the program relies on.
struct TUstavka {
    common::MotorName Name;
    double T_Nom = 0;
    double T_Max = 0;
    double Koof_K = 0;
    double Koof_B = 0;
    std::int32_t Moshn = 0;
    std::int32_t Oborot = 0;
};

struct TTokSlot {
    double Value = 0;
    double Time = 0;
};

// The 72 channel settings, indexed by channel number 1..72.
class UstavkiTable {
public:
    TUstavka& operator[](int channel) { return items_.at(static_cast<std::size_t>(channel - 1)); }
    const TUstavka& operator[](int channel) const { return items_.at(static_cast<std::size_t>(channel - 1)); }

private:
    std::array<TUstavka, kChannelCount> items_{};
};

// 72 channels x 3000 slots, allocated once and zero-filled. A wrong channel or index stops a debug
// build at the access; a release build does not check, so the scan path pays nothing for it. Tests
// go through the checked accessors, which throw in every build.
class TokHistoryStore {
public:
    TokHistoryStore() : slots_(static_cast<std::size_t>(kChannelCount) * kRingSize) {}

    // Writable slot of the ring: channel 1..72, index 0..2999.
    TTokSlot& At(int channel, int index) {
        assert(IsChannel(channel) && InRing(index));
        return slots_[Offset(channel, index)];
    }
    const TTokSlot& At(int channel, int index) const {
        assert(IsChannel(channel) && InRing(index));
        return slots_[Offset(channel, index)];
    }
    // Any index 0..65000; those past the ring always read as zero.
    TTokSlot Read(int channel, int index) const {
        assert(IsChannel(channel) && index >= 0 && index <= kHistoryLastIndex);
        if (index >= kRingSize)
            return {};
        return slots_[Offset(channel, index)];
    }
    // The 3000 ring slots of one channel, in index order.
    const TTokSlot* Ring(int channel) const {
        assert(IsChannel(channel));
        return &slots_[Offset(channel, 0)];
    }

    // As At and Read, throwing std::out_of_range for a wrong channel or index.
    TTokSlot& CheckedAt(int channel, int index) {
        Check(channel, index, kRingSize - 1);
        return At(channel, index);
    }
    TTokSlot CheckedRead(int channel, int index) const {
        Check(channel, index, kHistoryLastIndex);
        return Read(channel, index);
    }

private:
    static constexpr bool IsChannel(int channel) { return channel >= 1 && channel <= kChannelCount; }
    static constexpr bool InRing(int index) { return index >= 0 && index < kRingSize; }
    static void Check(int channel, int index, int lastIndex) {
        if (!IsChannel(channel) || index < 0 || index > lastIndex)
            throw std::out_of_range("TokHistory[" + std::to_string(channel) + "][" + std::to_string(index) +
                                    "] is outside channels 1..72, slots 0.." + std::to_string(lastIndex));
    }
    static std::size_t Offset(int channel, int index) {
        return static_cast<std::size_t>(channel - 1) * kRingSize + static_cast<std::size_t>(index);
    }
    std::vector<TTokSlot> slots_;
};

// The program-wide channel state: one instance, made in main and passed by reference.
struct ChannelData {
    UstavkiTable Ustavki;
    TokHistoryStore TokHistory;
    std::uint16_t TokIndex = 0;
    std::uint8_t AvgCount = 0;
    std::uint8_t SelChannel = 0;
    std::uint8_t SelSection = 0;
    common::TDateTime CurDay = 0;
    std::string BaseFolder;
    // Each channel's averaged converter count of the latest scan cycle, kept as the conversion turns
    // the slot into amperes: what the calibration is made against.
    std::array<double, kChannelCount> RawCounts{};

    TTokSlot& Current(int channel) { return TokHistory.At(channel, TokIndex); }
    const TTokSlot& Current(int channel) const { return TokHistory.At(channel, TokIndex); }
    double RawCount(int channel) const { return RawCounts.at(static_cast<std::size_t>(channel - 1)); }
};

constexpr int SectionOfChannel(int channel) {
    return (channel - 1) / kChannelsPerSection + 1;
}
constexpr int FirstChannelOfSection(int section) {
    return kChannelsPerSection * (section - 1) + 1;
}

// Section names as the windows show them (UTF-8), sections 1..6.
std::string_view SectionName(int section);

// Moves the ring on by one slot: 2999 is followed by 0.
void AdvanceTokIndex(ChannelData& data);

// Values just before the settings are read: name one blank, every number 0.
void ResetForLoading(UstavkiTable& ustavki);
// The value a channel takes for each key the settings file lacks.
TUstavka DefaultUstavka(int channel);

} // namespace registrator::channels
