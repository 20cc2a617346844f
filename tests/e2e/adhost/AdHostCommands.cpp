#include "tests/e2e/adhost/AdHostCommands.h"

#include "tests/e2e/adhost/AdHost.h"

#include "platform/device/Driver.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <mutex>
#include <sstream>

namespace AdHostCommands {

namespace {

std::vector<Subcommand>& table() {
    static std::vector<Subcommand> rows;
    return rows;
}

Words split(const std::string& text) {
    Words words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

template <typename Number>
std::optional<Number> number(const std::string& word) {
    Number value{};
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    return value;
}

} // namespace

std::optional<std::string> spaceWord(const std::string& word) {
    if (word == "nil") return std::nullopt;
    std::string space = word == "\"\"" ? std::string() : word;
    if (!space.empty()) AdHost::shared().noteSpace(space);
    return space;
}

std::optional<std::int32_t> int32(const std::string& word) { return number<std::int32_t>(word); }
std::optional<std::int64_t> int64(const std::string& word) { return number<std::int64_t>(word); }

void addAdsSubcommand(Subcommand subcommand) {
    auto& rows = table();
    if (std::any_of(rows.begin(), rows.end(), [&](const Subcommand& row) { return row.name == subcommand.name; })) return;
    rows.push_back(std::move(subcommand));
}

std::string adsHelp() {
    std::string out;
    for (auto& row : table()) out += "ads " + row.name + (row.usage.empty() ? "" : " " + row.usage) + ": " + row.summary + "\n";
    return out;
}

bool runAds(const std::string& argument, UIScreenReply& reply) {
    auto words = split(argument);
    if (words.empty()) return reply.refuse("ads what? The ads commands:\n" + adsHelp());
    auto& rows = table();
    auto row = std::find_if(rows.begin(), rows.end(), [&](const Subcommand& r) { return r.name == words[0]; });
    if (row == rows.end()) return reply.refuse("no ads command " + UIScreenDescription::quoted(words[0]) + "; the ads commands:\n" + adsHelp());
    Words rest(words.begin() + 1, words.end());
    if (rest.size() < row->minimumWords || rest.size() > row->maximumWords)
        return reply.refuse("usage: ads " + row->name + (row->usage.empty() ? "" : " " + row->usage));
    return row->run(rest, reply);
}

void registerBuiltInSubcommands();
void registerAdSpaceSubcommands();
void registerNetworkSubcommands();

void registerAll() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerBuiltInSubcommands();
        registerAdSpaceSubcommands();
        registerNetworkSubcommands();
        Driver::addHostCommand("ads", "SUBCOMMAND ...", "drive the ads facade (ads help lists its commands)",
                               [](Driver&, const std::string& argument, UIScreenReply& reply) { return runAds(argument, reply); });
    });
}

} // namespace AdHostCommands
