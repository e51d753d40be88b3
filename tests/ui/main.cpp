// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char* argv[]) {
    // The same platform and screen whether CTest or a developer starts the tests.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        putenv(const_cast<char*>(VISTREL_OFFSCREEN));
    }
    const QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
