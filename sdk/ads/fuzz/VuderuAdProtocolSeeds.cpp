// Writes the fuzzers' seed corpora: ad responses, ad-log responses and VAST documents as the
// tests write them, into the three folders given as arguments.
#include "../tests/AdResponseBytes.h"
#include "../tests/VASTDocuments.h"
#include "platform/foundation/fuzz/FuzzSeeds.h"

#include <string>

using fuzz_seeds::save;

namespace {
bool saveVASTDocuments(const std::string& folder) {
    using namespace vastdoc;
    Ad v3 = inlineAd("v3");
    v3.attributes = "id=\"v3\" sequence=\"2\"";
    v3.linear.attributes = "skipoffset=\"00:00:05\"";
    v3.linear.mediaFiles.push_back({"apiFramework=\"VPAID\" type=\"video/mp4\" bitrate=\"500\"", cdata("http://media.example/v.mp4")});
    Ad cdataAd = inlineAd("cd");
    cdataAd.impressions = {cdata("http://t.example/imp?a=1&b=2"), "a?x=1&amp;y=2"};
    cdataAd.linear.tracking.push_back({"", "http://t.example/no-event"});
    cdataAd.extra = element("Tracking", "event=\"start\"", "http://t.example/stray");
    std::string entities = document("2.0", {inlineAd("e")});
    entities = "<!DOCTYPE VAST [<!ENTITY u \"http://t.example/\">]>" + entities.substr(entities.find('\n') + 1);
    // A document type that only names its DTD: read as a name, never fetched.
    std::string namedDTD = document("2.0", {inlineAd("n")});
    namedDTD = "<!DOCTYPE VAST SYSTEM \"http://127.0.0.1:1/vast.dtd\">" + namedDTD.substr(namedDTD.find('\n') + 1);
    return save(folder, "v1_inline.xml", document("1.0", {inlineAd("a1")})) &&
           save(folder, "v2_wrapper.xml", document("2.0", {wrapperAd("r", "http://127.0.0.1:1/b.xml")})) &&
           save(folder, "v3_inline.xml", document("3.0", {v3, inlineAd("second")})) &&
           save(folder, "cdata.xml", document("2.0", {cdataAd})) &&
           save(folder, "entities.xml", entities) && save(folder, "named_dtd.xml", namedDTD);
}

} // namespace

int main(int argc, char** argv) {
    const auto folders = fuzz_seeds::folders(argc, argv, 3, "AD_RESPONSE_FOLDER SDK_LOG_RESPONSE_FOLDER VAST_DOCUMENT_FOLDER");
    if (!folders) return 2;
    using namespace adresponse;
    const std::string ads = (*folders)[0], logs = (*folders)[1];
    FrameShape duplicate;
    duplicate.duplicateCallback = true;
    bool ok = save(ads, "empty.avro", response(0, false)) && save(ads, "configuration.avro", response(0, true)) &&
              save(ads, "three_units.avro", response(3, true, 20, 2024, duplicate, 0)) &&
              save(ads, "landscape.avro", response(1, false, 0, 0, {}, 1)) &&
              save(logs, "success.avro", AvroBytes().s("success").strings({}).str()) &&
              save(logs, "errors.avro", AvroBytes().s("failure").strings({"bad request", "retry"}).str());
    return ok && saveVASTDocuments((*folders)[2]) ? 0 : 1;
}
