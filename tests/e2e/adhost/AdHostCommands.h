#pragma once
// The ad host's driver commands. `ads SUBCOMMAND ...` runs one row of the subcommand table; a
// new subcommand is one more row, added with addAdsSubcommand before the driver runs (from the
// host's start-up, in a file of its own). Other top-level commands (`page`) register with the
// driver directly (Driver::addHostCommand).
//
// Arguments are words split at blanks. A space is a word; `nil` stands for no space and `""` for
// the empty name. A command whose words do not fit its usage gives an error and changes nothing.

#include "platform/uikit/UIScreenDescription.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace AdHostCommands {

using Words = std::vector<std::string>;
struct Subcommand {
    std::string name;
    std::string usage;
    std::string summary;
    // How many words follow the name.
    std::size_t minimumWords = 0;
    std::size_t maximumWords = 0;
    // Runs on the main thread with the words after the name.
    std::function<bool(const Words& words, UIScreenReply& reply)> run;
};

// Adds a row to the `ads` table; a name already there is not added again.
void addAdsSubcommand(Subcommand subcommand);
// The `ads` command and the built-in subcommands (fetch, show, display, fetchdisplay, remove,
// event, keywords), registered with the driver.
void registerAll();
// Registers the outside ad networks' stand-ins (unless told not to) and shows their journal.
void startNetworkStandIns(bool registerStandIns);
// Runs `ads ARGUMENT`.
bool runAds(const std::string& argument, UIScreenReply& reply);
// The usage lines of the `ads` table.
std::string adsHelp();

// A space word: nullopt for `nil`, "" for `""`, else the word. The screen follows named spaces.
std::optional<std::string> spaceWord(const std::string& word);
// Whole numbers in range; nullopt when the word is not one.
std::optional<std::int32_t> int32(const std::string& word);
std::optional<std::int64_t> int64(const std::string& word);

} // namespace AdHostCommands
