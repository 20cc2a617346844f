#include "sdk/adviews/testsupport/AdNetworkStandIns.h"

#include "sdk/adviews/testsupport/AdNetworkStandInObjects.h"
#include "sdk/adviews/testsupport/StandInCustomNetwork.h"

#include <sstream>

#include <algorithm>
#include <map>
#include <mutex>

namespace {

struct State {
    std::mutex lock;
    std::vector<std::string> journal;
    std::function<void(const std::string&)> listener;
    std::map<std::string, AdNetworkStandIns::Outcome> outcomes;
    std::map<std::string, std::weak_ptr<NSObject>> current;
    // The SDK keeps the interstitials it fetched until they are shown or the process ends.
    std::vector<std::shared_ptr<NSObject>> millennialInterstitials;
};

State& state() {
    static State shared;
    return shared;
}

StandInCore* coreOf(NSObject* object) {
    if (auto plain = dynamic_cast<StandInObject*>(object)) return &plain->core;
    if (auto banner = dynamic_cast<StandInBanner*>(object)) return &banner->core;
    return nullptr;
}

} // namespace

namespace AdNetworkStandInState {

void note(const std::string& line) {
    std::function<void(const std::string&)> listener;
    {
        std::lock_guard guard(state().lock);
        state().journal.push_back(line);
        listener = state().listener;
    }
    if (listener) listener(line);
}

AdNetworkStandIns::Outcome outcomeFor(const std::string& network) {
    std::lock_guard guard(state().lock);
    auto found = state().outcomes.find(network);
    return found == state().outcomes.end() ? AdNetworkStandIns::Outcome{} : found->second;
}

void setCurrent(const std::string& network, const std::shared_ptr<NSObject>& object) {
    std::lock_guard guard(state().lock);
    state().current[network] = object;
    auto core = coreOf(object.get());
    if (core) state().current[core->className()] = object;
    if (core && network == "millennial media" && !core->isBanner()) state().millennialInterstitials.push_back(object);
}

std::shared_ptr<NSObject> currentObject(const std::string& network) {
    std::lock_guard guard(state().lock);
    return state().current[network].lock();
}

std::shared_ptr<NSObject> interstitialForApid(const std::string& apid) {
    std::lock_guard guard(state().lock);
    auto& all = state().millennialInterstitials;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        const auto& object = *it;
        auto core = coreOf(object.get());
        if (core && core->apid() == apid) return object;
    }
    return nullptr;
}

std::string describe(const Value& value) {
    if (value.isString()) return "\"" + value.string() + "\"";
    if (value.isBool()) return value.boolValue() ? "YES" : "NO";
    if (value.isNull()) return "nil";
    if (value.isObject()) {
        if (!value.object()) return "nil";
        if (std::dynamic_pointer_cast<NSBlock>(value.object())) return "<block>";
        return "<" + value.object()->className() + ">";
    }
    return value.description();
}

} // namespace AdNetworkStandInState

void AdNetworkStandIns::registerAll() {
    for (const auto& road : adNetworkRoads())
        for (const auto& name : road.allClasses()) NSRegisterClass(name, std::make_shared<StandInClass>(road, name));
}

void AdNetworkStandIns::unregisterAll() {
    for (const auto& road : adNetworkRoads())
        for (const auto& name : road.allClasses()) NSUnregisterClass(name);
}

std::vector<std::string> AdNetworkStandIns::networks() {
    std::vector<std::string> names;
    for (const auto& road : adNetworkRoads()) names.push_back(road.network);
    return names;
}

bool AdNetworkStandIns::knowsNetwork(const std::string& network) { return adNetworkRoad(network) != nullptr; }

void AdNetworkStandIns::setOutcome(const std::string& network, Outcome outcome) {
    const AdNetworkRoad* road = adNetworkRoad(network);
    if (!road) return;
    std::lock_guard guard(state().lock);
    state().outcomes[road->network] = outcome;
}

AdNetworkStandIns::Outcome AdNetworkStandIns::outcome(const std::string& network) {
    const AdNetworkRoad* road = adNetworkRoad(network);
    return road ? AdNetworkStandInState::outcomeFor(road->network) : Outcome{};
}

bool AdNetworkStandIns::fireCallback(const std::string& network, const std::string& callback, std::string* reason,
                                     const std::string& apid) {
    auto refuse = [&](std::string why) {
        if (reason) *reason = std::move(why);
        return false;
    };
    const AdNetworkRoad* road = adNetworkRoad(network);
    if (!road) return refuse("no ad network \"" + network + "\"");
    auto callbacks = road->allCallbacks();
    if (std::find(callbacks.begin(), callbacks.end(), callback) == callbacks.end())
        return refuse(road->title + " has no callback \"" + callback + "\"");
    std::shared_ptr<NSObject> object;
    {
        std::lock_guard guard(state().lock);
        object = state().current[road->network].lock();
    }
    StandInCore* core = coreOf(object.get());
    if (!core) return refuse(road->title + " has no object to call back from");
    if (!apid.empty() && road->style != AdNetworkRoad::Style::CompletionAndNotifications)
        return refuse(road->title + "'s callbacks carry no APID");
    core->fire(callback, apid);
    return true;
}

std::vector<std::string> AdNetworkStandIns::journal() {
    std::lock_guard guard(state().lock);
    return state().journal;
}

void AdNetworkStandIns::clearJournal() {
    std::lock_guard guard(state().lock);
    state().journal.clear();
}

void AdNetworkStandIns::setJournalListener(std::function<void(const std::string& line)> listener) {
    std::lock_guard guard(state().lock);
    state().listener = std::move(listener);
}

void AdNetworkStandIns::reset() {
    std::lock_guard guard(state().lock);
    state().journal.clear();
    state().outcomes.clear();
    state().current.clear();
    state().millennialInterstitials.clear();
}

bool AdNetworkStandIns::command(const std::string& line, std::string* reply) {
    auto refuse = [&](std::string why) {
        if (reply) *reply = std::move(why);
        return false;
    };
    std::istringstream words(line);
    std::string network, verb, argument;
    words >> network >> verb;
    if (network == "millennial" && verb == "media") words >> verb;
    words >> argument;
    if (network == "custom") return StandInCustomNetwork::report(verb, reply);
    if (!knowsNetwork(network)) return refuse("no ad network \"" + network + "\" (" + [] {
        std::string all;
        for (const auto& name : networks()) all += (all.empty() ? "" : ", ") + name;
        return all + ", custom";
    }() + ")");
    if (verb.empty()) return refuse("sdk " + network + " needs ok, fail, never, refuse or a callback");
    Outcome outcome;
    try {
        if (verb == "ok") {
            if (!argument.empty()) outcome.seconds = std::stod(argument);
        } else if (verb == "fail") {
            outcome.kind = Outcome::Kind::Fail;
            if (!argument.empty()) outcome.code = std::stol(argument);
        } else if (verb == "never") {
            outcome.kind = Outcome::Kind::Never;
        } else if (verb == "refuse") {
            outcome.kind = Outcome::Kind::Refuse;
        } else {
            return fireCallback(network, verb, reply, argument);
        }
    } catch (const std::exception&) {
        return refuse("\"" + argument + "\" is not a number");
    }
    if (outcome.seconds < 0) return refuse("a load cannot end before it starts");
    setOutcome(network, outcome);
    if (reply) *reply = network + " " + verb;
    return true;
}
