#include "support/CommaLocale.h"

#include <clocale>
#include <cstring>

namespace registrator::support {

CommaLocale::CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "ru_RU", "Russian_Russia.1251", "ru-RU"}) {
        if (std::setlocale(LC_ALL, name) && std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            active_ = true;
            return;
        }
    }
    std::setlocale(LC_ALL, previous_.c_str());
}

CommaLocale::~CommaLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
}

} // namespace registrator::support
