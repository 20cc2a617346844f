#include "sdk/adviews/VuderuOutsideSDK.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace VuderuOutsideSDK {

Value rectValue(const CGRect& rect) { return Value(NSStringFromCGRect(rect)); }

CGRect rectFromValue(const Value& value) {
    if (!value.isString()) return CGRectZero;
    double x = 0, y = 0, width = 0, height = 0;
    if (std::sscanf(value.string().c_str(), "{{%lf, %lf}, {%lf, %lf}}", &x, &y, &width, &height) != 4) return CGRectZero;
    return CGRectMake(x, y, width, height);
}

Class lookUpClass(const std::string& name) {
    static std::mutex lock;
    static std::map<std::string, Class> found;
    std::lock_guard guard(lock);
    auto known = found.find(name);
    if (known != found.end()) return known->second;
    Class classObject = NSClassFromString(name);
    if (classObject) found[name] = classObject;
    return classObject;
}

std::shared_ptr<NSObject> make(const Class& classObject, std::string_view initializer, const Value::Array& arguments) {
    auto allocated = sendForObject(classObject, "alloc");
    if (!allocated) return nullptr;
    return sendForObject(allocated, initializer, arguments);
}

} // namespace VuderuOutsideSDK
