// The entry point of every GoogleTest program built for Windows.
#include <gtest/gtest.h>

#include "crash_report.h"

int main(int argc, char** argv) {
    ReportUnhandledExceptions();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
