#pragma once

#include <string>

namespace registrator::support {

// For its lifetime the C library's locale is a Russian one, as a Qt program has it under
// LANG=ru_RU.UTF-8: printf and strtod write and read a decimal comma there. Active() is false where
// the system has no such locale (scripts/test.sh makes one).
class CommaLocale {
public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool Active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

} // namespace registrator::support
