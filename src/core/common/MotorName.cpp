#include "common/MotorName.h"

#include "common/Cp1251.h"

#include <algorithm>

namespace registrator::common {

MotorName MotorName::FromCp1251(std::string_view cp1251) {
    MotorName name;
    name.AssignCp1251(cp1251);
    return name;
}

MotorName MotorName::FromUtf8(std::string_view utf8) {
    MotorName name;
    name.AssignUtf8(utf8);
    return name;
}

void MotorName::AssignCp1251(std::string_view cp1251) {
    const std::size_t length = std::min(cp1251.size(), kMaxLength);
    std::copy_n(cp1251.data(), length, chars_.data());
    std::fill(chars_.begin() + static_cast<std::ptrdiff_t>(length), chars_.end(), '\0');
    length_ = static_cast<std::uint8_t>(length);
}

void MotorName::AssignUtf8(std::string_view utf8) {
    AssignCp1251(Utf8ToCp1251(utf8));
}

std::string MotorName::Utf8() const {
    return Cp1251ToUtf8(Cp1251());
}

} // namespace registrator::common
