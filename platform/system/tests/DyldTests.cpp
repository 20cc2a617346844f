#include "platform/system/dyld.h"

#include <gtest/gtest.h>

#include <string>

TEST(Dyld, AnImageNameStaysValidWhenTheListIsReadAgain) {
    ASSERT_GT(_dyld_image_count(), 0u);
    const char* name = _dyld_get_image_name(0);
    ASSERT_NE(name, nullptr);
    const std::string copy = name;
    // Reading the list again must not take the name away from a caller that still holds it.
    ASSERT_GT(_dyld_image_count(), 0u);
    EXPECT_EQ(_dyld_get_image_name(0), name);
    EXPECT_EQ(std::string(name), copy);
    EXPECT_EQ(_dyld_get_image_name(_dyld_image_count()), nullptr);
}
