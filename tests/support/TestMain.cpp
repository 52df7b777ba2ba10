#include <clocale>
#include <gtest/gtest.h>

// The C library's locale comes from the system, as a Qt program's does, so that a conversion that
// follows it shows itself when the tests run under a Russian locale.
int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
