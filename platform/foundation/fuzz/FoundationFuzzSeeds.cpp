// Writes the seed corpora of the property-list and keyed-archive fuzz targets: values of every
// kind, as our own writers store them, into the two folders given as arguments.
#include "platform/foundation/NSIndexSet.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/fuzz/FuzzSeeds.h"

#include <string>
#include <string_view>
#include <vector>

namespace {
bool save(const std::string& folder, const std::string& name, const NSDataPtr& data) {
    return data && fuzz_seeds::save(folder, name, std::string_view(reinterpret_cast<const char*>(data->bytes()), data->length()));
}

std::vector<Value> samples() {
    Value nested = Value::Array{};
    for (int i = 0; i < 20; ++i) nested = Value::Array{nested, Value::Dictionary{{"level", i}}};
    return {
        Value::Dictionary{{"introShow", "Done"}, {"PS_SELECTED_ALBUM", "Camera Roll"}, {"com.vuderu.appclouduser", "user-1"}},
        Value::Dictionary{{"negative", -5}, {"big", 1LL << 40}, {"real", 0.5}, {"yes", true}, {"no", false},
                          {"text", "h\xC3\xA9llo <&> \xF0\x9F\x98\x80"}, {"empty", ""}, {"data", Value(Value::Data{0, 1, 0xFF})},
                          {"date", Value(Value::Date{1400000000.25})}},
        Value::Array{"same", "same", "same", Value::Array{"same"}, 1, 1, 2.5},
        nested,
        Value("a lone string"),
    };
}
} // namespace

int main(int argc, char** argv) {
    const auto folders = fuzz_seeds::folders(argc, argv, 2, "PROPERTY_LIST_FOLDER KEYED_ARCHIVE_FOLDER");
    if (!folders) return 2;
    const std::string lists = (*folders)[0];
    const std::string archives = (*folders)[1];
    bool ok = true;
    int n = 0;
    for (const Value& sample : samples()) {
        const std::string name = "sample" + std::to_string(n++);
        ok = ok && save(lists, name + ".xml", NSPropertyListSerialization::dataWithPropertyList(sample, NSPropertyListXMLFormat_v1_0));
        ok = ok && save(lists, name + ".bplist", NSPropertyListSerialization::dataWithPropertyList(sample, NSPropertyListBinaryFormat_v1_0));
        ok = ok && save(archives, name + ".archive", NSKeyedArchiver::archivedDataWithRootObject(sample));
    }
    auto indexes = std::make_shared<NSIndexSet>();
    ok = ok && save(archives, "object.archive", NSKeyedArchiver::archivedDataWithRootObject(Value::Dictionary{{"set", Value(indexes)}, {"n", 3}}));
    return ok ? 0 : 1;
}
