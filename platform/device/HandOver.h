#pragma once
// The system's side of a file hand-over (AirDrop, another app's "Open in"): a file of this
// machine, standing for the other device's or app's, is copied into the app's inbox under a free
// name, and the app is opened with the copy's file URL. The file handed over is never changed.

#include <optional>
#include <string>
#include <vector>

namespace HandOver {

// The app's inbox, a device path.
inline constexpr const char* kInboxPath = "/var/mobile/Documents/Inbox";
// The sender of a file sent through AirDrop.
inline constexpr const char* kAirDropSource = "com.apple.sharingd";

// Copies a regular file of this machine into the inbox: under its own name, or "NAME-2.EXT",
// "NAME-3.EXT", … when that is taken. A name that is not UTF-8 text is saved with each byte that is
// not as its escape ("caf\xe9.txt"), as the screen shows it. A source that changes size while it
// is copied is refused. Returns the copy's device path, or nullopt with `error` set
// (a missing or unreadable file, a folder) and nothing left behind in the inbox.
std::optional<std::string> copyIntoInbox(const std::string& hostPath, std::string& error);

// The inbox copy of the file handed to the app through `application:openURL:…`. False with
// `error` set when the file could not be handed over; otherwise what the app answered is ignored.
bool handOverFile(const std::string& hostPath, const std::string& sourceApplication, std::string& error);

// The words of a `handover` command's argument, split and unquoted as a shell does: spaces separate
// words, and single quotes, double quotes and backslashes keep spaces in one ("'My Report.pdf'",
// "My\ Report.pdf"). Nullopt for an unterminated quote.
std::optional<std::vector<std::string>> commandWords(const std::string& text);

} // namespace HandOver
