#pragma once
// VAST documents written for the parser's tests and the fuzzer's seeds, element by element: an
// InLine ad with one linear creative, a Wrapper naming the next document, and the pieces they are
// made of.

#include <string>
#include <vector>

namespace vastdoc {

inline std::string element(const std::string& name, const std::string& attributes, const std::string& inner) {
    return "<" + name + (attributes.empty() ? "" : " " + attributes) + ">" + inner + "</" + name + ">";
}

inline std::string cdata(const std::string& text) { return "<![CDATA[" + text + "]]>"; }

struct Tracking {
    std::string event;  // no attribute when empty
    std::string url;
};

struct Linear {
    std::string attributes;  // e.g. skipoffset="00:00:05"
    std::string duration = "00:00:30";
    std::vector<Tracking> tracking;
    std::vector<std::pair<std::string, std::string>> clicks;  // element name, URL text
    std::vector<std::pair<std::string, std::string>> mediaFiles;  // attributes, URL text
};

inline std::string linear(const Linear& l) {
    std::string tracking;
    for (const auto& t : l.tracking) tracking += element("Tracking", t.event.empty() ? "" : "event=\"" + t.event + "\"", t.url);
    std::string clicks;
    for (const auto& [name, url] : l.clicks) clicks += element(name, "", url);
    std::string media;
    for (const auto& [attributes, url] : l.mediaFiles) media += element("MediaFile", attributes, url);
    std::string inner = element("Duration", "", l.duration) + element("TrackingEvents", "", tracking);
    if (!clicks.empty()) inner += element("VideoClicks", "", clicks);
    if (!media.empty()) inner += element("MediaFiles", "", media);
    return element("Linear", l.attributes, inner);
}

struct Ad {
    std::string attributes = "id=\"a1\"";
    std::string kind = "InLine";  // or "Wrapper"
    std::string adSystem = element("AdSystem", "version=\"1.0\"", "Acme");
    std::string title = "Title";
    std::vector<std::string> impressions;
    std::vector<std::string> errors;
    std::string tagURI;  // a Wrapper's VASTAdTagURI text; none when empty
    std::string creativeAttributes = "id=\"c1\" sequence=\"1\"";
    Linear linear;
    std::string extra;  // written inside the InLine or Wrapper, after the creatives
};

inline std::string ad(const Ad& a) {
    std::string inner = a.adSystem;
    if (a.kind == "InLine") inner += element("AdTitle", "", a.title);
    if (!a.tagURI.empty()) inner += element("VASTAdTagURI", "", a.tagURI);
    for (const auto& url : a.impressions) inner += element("Impression", "", url);
    for (const auto& url : a.errors) inner += element("Error", "", url);
    inner += element("Creatives", "", element("Creative", a.creativeAttributes, linear(a.linear)));
    inner += a.extra;
    return element("Ad", a.attributes, element(a.kind, "", inner));
}

inline std::string document(const std::string& version, const std::vector<Ad>& ads) {
    std::string inner;
    for (const auto& a : ads) inner += ad(a);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + element("VAST", "version=\"" + version + "\"", inner);
}

// An InLine ad with everything one linear creative carries.
inline Ad inlineAd(const std::string& id = "a1") {
    Ad a;
    a.attributes = "id=\"" + id + "\"";
    a.title = "\n   A title  \n";
    a.impressions = {"http://t.example/imp?id=" + id};
    a.errors = {"http://t.example/err?id=" + id};
    a.linear.tracking = {{"start", "http://t.example/start?id=" + id}, {"firstQuartile", "http://t.example/q1?id=" + id}};
    a.linear.clicks = {{"ClickThrough", "http://click.example/" + id}, {"ClickTracking", "http://t.example/click?id=" + id}};
    a.linear.mediaFiles = {
        {"id=\"m1\" delivery=\"progressive\" type=\"video/mp4\" bitrate=\"400\" width=\"640\" height=\"360\" scalable=\"true\" "
         "maintainAspectRatio=\"1\"",
         "http://media.example/" + id + ".mp4"},
        {"id=\"m2\" delivery=\"streaming\" type=\"video/webm\" bitrate=\"300\" width=\"320\" height=\"180\"",
         "http://media.example/" + id + ".webm"},
    };
    return a;
}

// A Wrapper ad naming the next document, with its own impression, tracking and click.
inline Ad wrapperAd(const std::string& id, const std::string& uri) {
    Ad a;
    a.attributes = "id=\"" + id + "\"";
    a.kind = "Wrapper";
    a.tagURI = uri;
    a.impressions = {"http://t.example/imp?id=" + id};
    a.linear.duration = "";
    a.linear.tracking = {{"start", "http://t.example/start?id=" + id}};
    a.linear.clicks = {{"ClickThrough", "http://click.example/" + id}};
    return a;
}

} // namespace vastdoc
