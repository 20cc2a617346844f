// A stand-in analytics collector and ad server for end-to-end runs.
//
//   analytics-collector [--https] [--script FILE] [--files FOLDER] FOLDER
//
// Prints its port on the first line of standard output, writes the body of each request it
// receives to FOLDER as NNNN.body (0001 first) and its method, target and headers as
// NNNN.head, and answers from the script: one answer a line, for "/aas.do" unless the line
// starts with another path ("/v10/getAds.do", "/postAdLog.do"),
//   ok                      200 with an empty body
//   cookies KEY=VALUE ...   200 with a cookie chunk
//   status CODE [BODY]      that status with that body
//   ad CODE FILE            that status with the file's bytes and their "fm-checksum"
//   ad-wrong-checksum CODE FILE, ad-no-checksum CODE FILE
//                           the same with a wrong checksum, or none
//   stall                   held until "release" is read on standard input
//   drop                    a promised body cut short
//   drop-before-answer      the connection closed without an answer
// then each path's default (200, empty; on the ad paths with the checksum "0"). GET of other
// paths serves the files of the --files folder. With --https the test CA's root certificate is
// written to FOLDER/root.der. It ends at "quit" or at the end of standard input.

#include "platform/testsupport/AnalyticsCollector.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

bool parseAnswer(const std::string& line, CollectorAnswer& answer) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "ok") {
        answer = CollectorAnswer::ok();
    } else if (kind == "stall") {
        answer = CollectorAnswer::stall();
    } else if (kind == "drop") {
        answer = CollectorAnswer::dropMidBody();
    } else if (kind == "drop-before-answer") {
        answer = CollectorAnswer::dropBeforeAnswer();
    } else if (kind == "status") {
        int code = 0;
        if (!(words >> code)) return false;
        std::string body;
        std::getline(words >> std::ws, body);
        answer = CollectorAnswer::withStatus(code, body);
    } else if (kind == "ad" || kind == "ad-wrong-checksum" || kind == "ad-no-checksum") {
        int code = 0;
        std::string path;
        if (!(words >> code >> path)) return false;
        std::ifstream file(path, std::ios::binary);
        if (!file) return false;
        std::ostringstream body;
        body << file.rdbuf();
        answer = CollectorAnswer::ad(body.str(), code);
        if (kind == "ad-wrong-checksum") answer = answer.withChecksum(CollectorAnswer::Checksum::Wrong);
        if (kind == "ad-no-checksum") answer = answer.withChecksum(CollectorAnswer::Checksum::Absent);
    } else if (kind == "cookies") {
        std::vector<std::pair<std::string, std::string>> cookies;
        std::string item;
        while (words >> item) {
            auto equals = item.find('=');
            if (equals == std::string::npos) return false;
            cookies.emplace_back(item.substr(0, equals), item.substr(equals + 1));
        }
        answer = CollectorAnswer::ok(AnalyticsCollector::cookieChunk(cookies));
    } else {
        return false;
    }
    return true;
}

std::string head(const LoopbackRequest& request) {
    std::string text = request.method + " " + request.target + "\n";
    for (const auto& [name, value] : request.headers) text += name + ": " + value + "\n";
    return text;
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

} // namespace

int main(int argc, char** argv) {
    bool https = false;
    std::string scriptPath, folder, files;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--https") {
            https = true;
        } else if (argument == "--script" && i + 1 < argc) {
            scriptPath = argv[++i];
        } else if (argument == "--files" && i + 1 < argc) {
            files = argv[++i];
        } else if (folder.empty()) {
            folder = argument;
        } else {
            std::cerr << "usage: analytics-collector [--https] [--script FILE] [--files FOLDER] FOLDER\n";
            return 2;
        }
    }
    if (folder.empty()) {
        std::cerr << "usage: analytics-collector [--https] [--script FILE] [--files FOLDER] FOLDER\n";
        return 2;
    }
    std::map<std::string, std::vector<CollectorAnswer>> answers;
    if (!scriptPath.empty()) {
        std::ifstream script(scriptPath);
        if (!script) {
            std::cerr << "analytics-collector: cannot read " << scriptPath << "\n";
            return 2;
        }
        std::string line;
        while (std::getline(script, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::string path = AnalyticsCollector::kPath;
            if (line[0] == '/') {
                auto space = line.find(' ');
                path = line.substr(0, space);
                line = space == std::string::npos ? std::string() : line.substr(space + 1);
            }
            CollectorAnswer answer;
            if (!parseAnswer(line, answer)) {
                std::cerr << "analytics-collector: bad script line: " << line << "\n";
                return 2;
            }
            answers[path].push_back(answer);
        }
    }

    AnalyticsCollector collector(https);
    for (auto& [path, list] : answers) collector.script(path, std::move(list));
    if (!files.empty()) collector.serveFiles(files);
    if (https) {
        auto root = collector.rootCertificateDER();
        writeFile(folder + "/root.der", std::string(root.begin(), root.end()));
    }
    std::cout << collector.port() << std::endl;

    std::atomic<bool> done{false};
    std::size_t written = 0;
    std::thread writer([&] {
        while (!done) {
            if (!collector.waitForRequests(written + 1, 0.2)) continue;
            auto requests = collector.requests();
            for (; written < requests.size(); ++written) {
                char name[32];
                std::snprintf(name, sizeof name, "/%04zu.body", written + 1);
                writeFile(folder + name, requests[written].body);
                std::snprintf(name, sizeof name, "/%04zu.head", written + 1);
                writeFile(folder + name, head(requests[written]));
            }
        }
    });
    std::string command;
    while (std::getline(std::cin, command) && command != "quit") {
        if (command == "release") collector.releaseStalls();
    }
    done = true;
    writer.join();
    return 0;
}
