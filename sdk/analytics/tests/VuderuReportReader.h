#pragma once
// A reader of the analytics report written from its field tables alone (it shares no code with
// the writers): big-endian integers and floats, 16-bit-length strings, millisecond times.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

class ReportReader {
public:
    explicit ReportReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t unsignedOf(std::size_t width) {
        if (at_ + width > bytes_.size()) throw std::out_of_range("report ends at " + std::to_string(at_));
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) v = (v << 8) | bytes_[at_ + i];
        at_ += width;
        return v;
    }
    int u8() { return static_cast<int>(unsignedOf(1)); }
    int s8() { return static_cast<std::int8_t>(unsignedOf(1)); }
    int u16() { return static_cast<int>(unsignedOf(2)); }
    std::int32_t i32() { return static_cast<std::int32_t>(unsignedOf(4)); }
    std::int64_t i64() { return static_cast<std::int64_t>(unsignedOf(8)); }
    float f32() { return std::bit_cast<float>(static_cast<std::uint32_t>(unsignedOf(4))); }
    double f64() { return std::bit_cast<double>(unsignedOf(8)); }
    std::string str() { return text(unsignedOf(2)); }
    std::string shortData() { return text(unsignedOf(2)); }
    std::string largeData() { return text(unsignedOf(4)); }
    std::string text(std::size_t length) {
        if (at_ + length > bytes_.size()) throw std::out_of_range("text past the end");
        std::string s(reinterpret_cast<const char*>(bytes_.data() + at_), length);
        at_ += length;
        return s;
    }
    std::size_t at() const { return at_; }
    std::size_t size() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

struct ParameterEntry {
    std::string value;
    int flag;
};
using ParameterEntries = std::map<std::string, ParameterEntry>;

inline ParameterEntries readParameterEntries(ReportReader& r, int count) {
    ParameterEntries entries;
    for (int i = 0; i < count; ++i) {
        std::string key = r.str();
        std::string value = r.str();
        entries[key] = {value, r.u8()};
    }
    return entries;
}

struct EventRecord {
    int id;
    std::string name;
    std::map<std::string, std::string> parameters;
    std::int64_t offset;
    std::int64_t duration;
};

struct ErrorRecord {
    int id;
    std::int64_t time;
    std::string errorString, message, exception;
    int type;
    int reportPresent;
    std::string report;
};

struct SessionRecord {
    int version;
    std::string appVersion;
    std::int64_t start, length, pause;
    ParameterEntries parameters;
    std::string locale, timeZone;
    int networkStatus;
    std::string userID;
    int flag;
    double latitude, longitude;
    float accuracy;
    std::int32_t pageViews;
    int jailbroken, zero, gender, agePresent;
    std::int64_t birth = 0;
    std::map<std::string, std::int32_t> eventCounts;
    std::vector<EventRecord> events;
    int complete;
    std::int32_t totalErrors;
    std::vector<ErrorRecord> errors;
    int reserved1, reserved2;
};

inline SessionRecord readSessionRecord(ReportReader& r) {
    SessionRecord s;
    s.version = r.u16();
    s.appVersion = r.str();
    s.start = r.i64();
    s.length = r.i64();
    s.pause = r.i64();
    s.parameters = readParameterEntries(r, r.u16());
    s.locale = r.str();
    s.timeZone = r.str();
    s.networkStatus = r.u8();
    s.userID = r.str();
    s.flag = r.u8();
    s.latitude = r.f64();
    s.longitude = r.f64();
    s.accuracy = r.f32();
    s.pageViews = r.i32();
    s.jailbroken = r.u8();
    s.zero = r.u8();
    s.gender = r.s8();
    s.agePresent = r.u8();
    if (s.agePresent) s.birth = r.i64();
    for (int i = 0, n = r.u16(); i < n; ++i) {
        std::string name = r.str();
        s.eventCounts[name] = r.i32();
    }
    for (int i = 0, n = r.u16(); i < n; ++i) {
        EventRecord e;
        e.id = r.u16();
        e.name = r.str();
        for (int p = 0, m = r.u16(); p < m; ++p) {
            std::string key = r.str();
            e.parameters[key] = r.str();
        }
        e.offset = r.i64();
        e.duration = r.i64();
        s.events.push_back(e);
    }
    s.complete = r.u8();
    s.totalErrors = r.i32();
    for (int i = 0, n = r.u16(); i < n; ++i) {
        ErrorRecord e;
        e.id = r.u16();
        e.time = r.i64();
        e.errorString = r.str();
        e.message = r.str();
        e.exception = r.str();
        e.type = r.u8();
        e.reportPresent = r.u8();
        if (e.reportPresent) e.report = r.largeData();
        s.errors.push_back(e);
    }
    s.reserved1 = r.u16();
    s.reserved2 = r.u16();
    return s;
}

struct Report {
    int header[3];
    std::int64_t header4;
    int header5, platform, agent;
    std::int64_t time;
    std::string key, appVersion;
    std::map<int, std::string> identifiers;
    int byte13, everSent, adTracking;
    std::int64_t firstUse, sessionStart;
    ParameterEntries device;
    int reserved1, reserved2;
    std::map<std::string, std::vector<std::string>> launchOptions;
    std::map<std::string, std::map<std::string, std::string>> originSets;
    std::vector<SessionRecord> sessions;
    std::map<std::string, std::string> cookies;
    std::uint32_t checksum;
    std::size_t checkedLength;
};

inline Report readReport(const std::vector<std::uint8_t>& bytes) {
    ReportReader r(bytes);
    Report p;
    for (int& h : p.header) h = r.u16();
    p.header4 = r.i64();
    p.header5 = r.u16();
    p.platform = r.u16();
    p.agent = r.u16();
    p.time = r.i64();
    p.key = r.str();
    p.appVersion = r.str();
    for (int i = 0, n = r.u16(); i < n; ++i) {
        int kind = r.u16();
        p.identifiers[kind] = kind == 4 ? r.shortData() : r.str();
    }
    p.byte13 = r.u8();
    p.everSent = r.u8();
    p.adTracking = r.u8();
    p.firstUse = r.i64();
    p.sessionStart = r.i64();
    p.device = readParameterEntries(r, r.u16());
    p.reserved1 = r.u16();
    p.reserved2 = r.u8();
    for (int i = 0, n = r.u16(); i < n; ++i) {
        std::string key = r.str();
        auto& values = p.launchOptions[key];
        for (int v = 0, m = r.u16(); v < m; ++v) values.push_back(r.str());
    }
    for (int i = 0, n = r.u16(); i < n; ++i) {
        std::string name = r.str();
        auto& parameters = p.originSets[name];
        for (int v = 0, m = r.u16(); v < m; ++v) {
            std::string key = r.str();
            parameters[key] = r.str();
        }
    }
    for (int i = 0, n = r.u16(); i < n; ++i) p.sessions.push_back(readSessionRecord(r));
    for (int i = 0, n = r.u16(); i < n; ++i) {
        std::string key = r.shortData();
        p.cookies[key] = r.shortData();
    }
    p.checkedLength = r.at();
    p.checksum = static_cast<std::uint32_t>(r.i32());
    EXPECT_EQ(r.at(), r.size()) << "bytes after the checksum";
    return p;
}
