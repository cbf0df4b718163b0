#include "dstest.h"
TEST(Log, Placeholder) { SUCCEED(); }
