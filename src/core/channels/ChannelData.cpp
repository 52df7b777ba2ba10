#include "channels/ChannelData.h"

#include <array>

namespace registrator::channels {

std::string_view SectionName(int section) {
    static constexpr std::array<std::string_view, kSectionCount> names = {
        "Массоподготовка", "Формовка А", "Формовка Б", "Печь А", "Печь Б", "СПВ и сушильная камера 1А"};
    return names.at(static_cast<std::size_t>(section - 1));
}

void AdvanceTokIndex(ChannelData& data) {
    data.TokIndex = static_cast<std::uint16_t>(data.TokIndex + 1);
    if (data.TokIndex == kRingSize)
        data.TokIndex = 0;
}

void ResetForLoading(UstavkiTable& ustavki) {
    for (int n = 1; n <= kChannelCount; ++n) {
        ustavki[n] = TUstavka{};
        ustavki[n].Name.AssignCp1251(" ");
    }
}

TUstavka DefaultUstavka(int channel) {
    TUstavka u;
    u.Name.AssignCp1251(std::to_string(channel));
    u.Koof_K = 50;
    u.Koof_B = 1;
    u.T_Nom = 560;
    u.T_Max = 540;
    u.Moshn = 200;
    u.Oborot = 320;
    return u;
}

} // namespace registrator::channels
