#include "dstest.h"
TEST(Manager, Placeholder) { SUCCEED(); }
