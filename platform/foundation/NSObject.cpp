#include "platform/foundation/NSObject.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

std::string NSStringFromTypeName(const char* mangled) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : mangled;
    std::free(demangled);
    if (auto angle = name.find('<'); angle != std::string::npos) name.erase(angle);
    if (auto colon = name.rfind("::"); colon != std::string::npos) name.erase(0, colon + 2);
    return name;
}

std::string NSObject::className() const { return NSStringFromTypeName(typeid(*this).name()); }

std::string NSObject::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return "<" + className() + ": " + address + ">";
}
