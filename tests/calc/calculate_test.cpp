#include "calc/calculate.h"
#include <gtest/gtest.h>
TEST(Smoke, Worked) {}
