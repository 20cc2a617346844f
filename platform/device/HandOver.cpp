#include "platform/device/HandOver.h"

#include "platform/foundation/FileCopy.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/PrintableText.h"
#include "platform/foundation/WholeFile.h"
#include "platform/uikit/UIApplication.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr mode_t kCopyMode = 0644;
// Enough numbered names for any inbox a person fills.
constexpr int kMaxNameNumber = 10000;

std::string numberedName(const std::string& name, int number) {
    if (number == 1) return name;
    std::string extension = NSString::pathExtension(name);
    std::string stem = extension.empty() ? name : name.substr(0, name.size() - extension.size() - 1);
    std::string numbered = stem + "-" + std::to_string(number);
    return extension.empty() ? numbered : numbered + "." + extension;
}
} // namespace

std::optional<std::string> HandOver::copyIntoInbox(const std::string& hostPath, std::string& error) {
    // Opened without waiting: a FIFO or a device handed over is refused at once, not read.
    NSRegularFile source = NSOpenRegularFileAt(AT_FDCWD, hostPath);
    if (!source) {
        error = source.notRegular ? hostPath + " is not a file (only files can be handed over)"
                                  : "cannot read " + hostPath + ": " + std::strerror(source.errnum);
        return std::nullopt;
    }
    NSFileManager::defaultManager()->createDirectoryAtPath(kInboxPath, true, nullptr, nullptr);
    NSSweepTemporaryFiles(kInboxPath, NSTemporaryNames::Writers);
    // A name that is not UTF-8 could be neither shown nor saved by the app: its stray bytes become
    // the escapes the screen shows for them.
    std::string name = NSString::lastPathComponent(hostPath);
    if (!NSString::isValidUTF8(name)) name = PrintableText(name);
    // The copy appears in the inbox whole, under the first free name, or not at all.
    WholeFileWriter copy;
    if (int e = copy.begin(NSString::stringByAppendingPathComponent(kInboxPath, name), kCopyMode)) {
        error = "cannot write into " + std::string(kInboxPath) + ": " + std::strerror(e);
        return std::nullopt;
    }
    if (int e = NSCopyFileContents(source.fd.get(), copy.fd())) {
        error = "cannot copy " + hostPath + ": " + NSCopyFileErrorText(e);
        return std::nullopt;
    }
    for (int number = 1; number <= kMaxNameNumber; ++number) {
        copy.setFinalName(numberedName(name, number));
        int e = copy.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep);
        if (e == 0) return NSString::stringByAppendingPathComponent(kInboxPath, numberedName(name, number));
        if (e != EEXIST) {
            error = "cannot write into " + std::string(kInboxPath) + ": " + std::strerror(e);
            return std::nullopt;
        }
    }
    error = "no free name for " + name + " in " + kInboxPath;
    return std::nullopt;
}

bool HandOver::handOverFile(const std::string& hostPath, const std::string& sourceApplication, std::string& error) {
    auto copy = copyIntoInbox(hostPath, error);
    if (!copy) return false;
    UIApplication::sharedApplication()->handleOpenURL(NSURL::fileURLWithPath(*copy), sourceApplication);
    return true;
}

std::optional<std::vector<std::string>> HandOver::commandWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'') {
            if (c == '\'') quote = 0;
            else word += c;
        } else if (quote == '"') {
            // Inside double quotes a backslash keeps only what the shell lets it keep.
            if (c == '"') quote = 0;
            else if (c == '\\' && i + 1 < text.size() && std::strchr("\\\"$`", text[i + 1])) word += text[++i];
            else word += c;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            if (c == '\'' || c == '"') quote = c;
            else if (c == '\\' && i + 1 < text.size()) word += text[++i];
            else word += c;
        }
    }
    if (quote) return std::nullopt;
    if (inWord) words.push_back(word);
    return words;
}
