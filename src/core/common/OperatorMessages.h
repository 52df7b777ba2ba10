#pragma once

#include <string>

namespace registrator::common {

// A plain modal operator message: the ui shows a box titled with the program title and waits for OK.
// Texts are UTF-8.
class OperatorMessages {
public:
    virtual ~OperatorMessages() = default;
    virtual void Show(const std::string& text) = 0;
};

} // namespace registrator::common
