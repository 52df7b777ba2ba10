#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace registrator::common {

// A motor name: a length and at most 50 Windows-1251 characters. Every assignment keeps the
// first 50 characters, as the settings snapshot record stores them.
class MotorName {
public:
    static constexpr std::size_t kMaxLength = 50;

    MotorName() = default;
    static MotorName FromCp1251(std::string_view cp1251);
    static MotorName FromUtf8(std::string_view utf8);

    void AssignCp1251(std::string_view cp1251);
    void AssignUtf8(std::string_view utf8);

    std::string_view Cp1251() const { return {chars_.data(), length_}; }
    std::string Utf8() const;
    std::size_t Length() const { return length_; }
    bool Empty() const { return length_ == 0; }

    friend bool operator==(const MotorName& a, const MotorName& b) { return a.Cp1251() == b.Cp1251(); }

private:
    std::uint8_t length_ = 0;
    std::array<char, kMaxLength> chars_{};
};

} // namespace registrator::common
