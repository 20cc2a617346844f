#include "platform/net/SCNetworkReachability.h"
#include "platform/testsupport/CodedBodies.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/tests/AdRequestFixture.h"
#include "sdk/ads/tests/AdResponseBytes.h"
#include "sdk/ads/tests/AvroBytes.h"

namespace {

std::string crcText(const std::string& bytes) { return std::to_string(VuderuUtil::dataChecksum(bytes.data(), bytes.size())); }

// A decodable reply with no units whose CRC-32 has the top bit set (one error text varied).
std::string replyWithNegativeChecksum() {
    for (int i = 0;; ++i) {
        std::string body = AvroBytes().end().strings({"e" + std::to_string(i)}).l(1).str();
        if (VuderuUtil::dataChecksum(body.data(), body.size()) < 0) return body;
    }
}

// The body with the four bytes at `at` (inside one of its strings, so that it stays one whole
// value) chosen to bring its CRC-32 to 0 (CRC-32 is affine over GF(2) in those bits: solved by
// elimination).
std::string withChecksumZero(const std::string& body, std::size_t at) {
    auto crc = [](const std::string& bytes) { return static_cast<std::uint32_t>(VuderuUtil::dataChecksum(bytes.data(), bytes.size())); };
    std::string padded = body;
    padded.replace(at, 4, std::string(4, '\0'));
    const std::uint32_t base = crc(padded);
    std::uint64_t rows[32] = {};  // bit i: unknown i; bit 32: the right-hand side
    for (int i = 0; i < 32; ++i) {
        std::string flipped = padded;
        flipped[at + static_cast<std::size_t>(i / 8)] = static_cast<char>(1 << (i % 8));
        const std::uint32_t column = crc(flipped) ^ base;
        for (int bit = 0; bit < 32; ++bit) rows[bit] |= static_cast<std::uint64_t>((column >> bit) & 1u) << i;
    }
    for (int bit = 0; bit < 32; ++bit) rows[bit] |= static_cast<std::uint64_t>((base >> bit) & 1u) << 32;
    for (int col = 0, row = 0; col < 32 && row < 32; ++col) {
        int pivot = row;
        while (pivot < 32 && !((rows[pivot] >> col) & 1u)) ++pivot;
        if (pivot == 32) continue;
        std::swap(rows[row], rows[pivot]);
        for (int other = 0; other < 32; ++other) {
            if (other != row && ((rows[other] >> col) & 1u)) rows[other] ^= rows[row];
        }
        ++row;
    }
    std::string tail(4, '\0');
    for (int i = 0; i < 32; ++i) {
        for (const auto r : rows) {
            if ((r & 0xFFFFFFFFu) == (std::uint64_t{1} << i) && ((r >> 32) & 1u)) tail[static_cast<std::size_t>(i / 8)] |= static_cast<char>(1 << (i % 8));
        }
    }
    return padded.replace(at, 4, tail);
}

} // namespace

TEST_F(AdRequestTest, ThePostCarriesItsTypeAndTheChecksumOfItsBytes) {
    // A space whose request has a CRC-32 with the top bit set: it travels as a negative decimal.
    std::string space;
    for (int i = 0; space.empty(); ++i) {
        auto body = VuderuAdRequest().encodedAdRequestForSpace("s" + std::to_string(i), CGRect{{0, 0}, {320.7, 50.2}}, false, {});
        ASSERT_NE(body, nullptr);
        if (VuderuUtil::dataChecksum(*body) < 0) space = "s" + std::to_string(i);
    }
    fetch(space);
    auto requests = collector_.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/v10/getAds.do");
    EXPECT_EQ(requests[0].header("content-type"), "avro/binary");
    EXPECT_EQ(requests[0].header("accept"), "avro/binary");
    ASSERT_TRUE(requests[0].header("fm-checksum"));
    EXPECT_EQ(*requests[0].header("fm-checksum"), crcText(requests[0].body));
    EXPECT_EQ(requests[0].header("fm-checksum")->front(), '-');
}

TEST_F(AdRequestTest, RepliesGiveExactlyOneOutcome) {
    const std::string units = adresponse::response(1, false);
    const std::string negative = replyWithNegativeChecksum();
    using C = CollectorAnswer::Checksum;
    struct Row {
        const char* name;
        CollectorAnswer answer;
        std::optional<RecordedOutcome::Kind> outcome;  // nullopt: no delegate call at all
        std::size_t units;
        std::optional<std::string> error;              // the failure's text, nullopt for none
    };
    const Row rows[] = {
        {"units", CollectorAnswer::ad(units), RecordedOutcome::Kind::Success, 1, std::nullopt},
        {"negative checksum", CollectorAnswer::ad(negative), RecordedOutcome::Kind::Success, 0, std::nullopt},
        {"wrong checksum", CollectorAnswer::ad(units).withChecksum(C::Wrong), RecordedOutcome::Kind::Failure, 0,
         "AdRequest: checksum do not match."},
        {"missing checksum", CollectorAnswer::ad(units).withChecksum(C::Absent), RecordedOutcome::Kind::Failure, 0,
         "AdRequest: checksum do not match."},
        {"missing checksum, CRC 0", CollectorAnswer::ad(withChecksumZero(units, units.find("first error") + 7)).withChecksum(C::Absent), RecordedOutcome::Kind::Success, 1,
         std::nullopt},
        {"204", CollectorAnswer::ad({}, 204), std::nullopt, 0, std::nullopt},
        {"200 empty", CollectorAnswer::ad({}), std::nullopt, 0, std::nullopt},
        {"500", CollectorAnswer::ad("server error", 500), RecordedOutcome::Kind::Failure, 0, std::nullopt},
        {"undecodable", CollectorAnswer::ad("not avro at all"), RecordedOutcome::Kind::Failure, 0, "AdRequest: bad response from server"},
        // The loader decodes gzip and deflate as the device does; a coding nobody reads fails the reply.
        {"units in gzip", CollectorAnswer::ad(units).withContentCoding("gzip", coded_bodies::compressed(units, coded_bodies::Format::Gzip)),
         RecordedOutcome::Kind::Success, 1, std::nullopt},
        {"units in brotli", CollectorAnswer::ad(units).withContentCoding("br", units), RecordedOutcome::Kind::Failure, 0, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        delegate_->outcomes.clear();
        collector_.script(AnalyticsCollector::kAdsPath, {row.answer});
        auto request = fetch();
        if (!row.outcome) {
            EXPECT_TRUE(delegate_->outcomes.empty());
            continue;
        }
        ASSERT_EQ(delegate_->outcomes.size(), 1u);
        const auto& outcome = delegate_->outcomes[0];
        EXPECT_EQ(outcome.kind, *row.outcome);
        EXPECT_EQ(outcome.params, Value("params"));
        EXPECT_EQ(outcome.units, row.units);
        if (row.error) {
            ASSERT_NE(outcome.error, nullptr);
            EXPECT_EQ(outcome.error->code(), kVuderuAdErrorRequestFailed);
            EXPECT_EQ(outcome.error->localizedDescription(), *row.error);
        } else {
            EXPECT_EQ(outcome.error, nullptr);
        }
    }
}

TEST_F(AdRequestTest, ARefusedConnectionFailsWithoutErrorWhileReachableAndWith102Otherwise) {
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::WiFi);
    VuderuNetworkUtil::initNetworkReachability();
    VuderuNetworkUtil::setAdServerUrl("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdsPath);
    fetch();
    ASSERT_EQ(delegate_->outcomes.size(), 1u);
    EXPECT_EQ(delegate_->outcomes[0].kind, RecordedOutcome::Kind::Failure);
    EXPECT_EQ(delegate_->outcomes[0].error, nullptr);

    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::None);
    ASSERT_TRUE(runMainUntil([] { return !VuderuNetworkUtil::isNetworkReachable(); }));
    delegate_->outcomes.clear();
    fetch();
    ASSERT_EQ(delegate_->outcomes.size(), 1u);
    ASSERT_NE(delegate_->outcomes[0].error, nullptr);
    EXPECT_EQ(delegate_->outcomes[0].error->code(), kVuderuAdErrorNetworkNotReachable);
    EXPECT_EQ(delegate_->outcomes[0].error->localizedDescription(), "VuderuAds: Network not reachable");
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Measured);
}
