#include "platform/testsupport/TestMediaLibrary.h"

#include "platform/media/SampleMedia.h"

#include <gtest/gtest.h>

namespace TestMediaLibrary {

void make() { ASSERT_TRUE(SampleMedia::makeLibrary()) << "the sample media could not be made"; }

} // namespace TestMediaLibrary
