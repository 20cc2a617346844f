#include "platform/system/dyld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<uintptr_t> added, removed;
void onAdd(const struct mach_header* header, intptr_t) { added.push_back(reinterpret_cast<uintptr_t>(header)); }
void onRemove(const struct mach_header* header, intptr_t) { removed.push_back(reinterpret_cast<uintptr_t>(header)); }

bool contains(const std::vector<uintptr_t>& list, uintptr_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

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

TEST(Dyld, ImagesOpenedAndClosedLaterReachTheCallbacks) {
    _dyld_register_func_for_add_image(onAdd);
    _dyld_register_func_for_remove_image(onRemove);
    const uintptr_t main = reinterpret_cast<uintptr_t>(_dyld_get_image_header(0));
    EXPECT_TRUE(contains(added, main)) << "registration reports the images already loaded";
    const size_t before = added.size();

    void* module = dlopen(TANDREL_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    ASSERT_EQ(added.size(), before + 1);
    uintptr_t header = added.back();
    Dl_info info{};
    ASSERT_NE(dladdr(dlsym(module, "vdtest_module_answer"), &info), 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.dli_fbase), header);

    // Opening it again loads nothing new.
    void* again = dlopen(TANDREL_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
    EXPECT_EQ(added.size(), before + 1);
    dlclose(again);
    EXPECT_TRUE(removed.empty());
    dlclose(module);
    EXPECT_TRUE(contains(removed, header));
}

TEST(Dyld, DladdrNamesTheMainExecutableByItsRealPath) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    ASSERT_GT(n, 0);
    path[n] = 0;
    Dl_info info{};
    ASSERT_NE(dladdr(_dyld_get_image_header(0), &info), 0);
    EXPECT_STREQ(info.dli_fname, path);
}
