#pragma once
// URLs: file URLs and network URLs, parsed as RFC 3986 references. Like the platform,
// URLWithString refuses text with characters a URL cannot hold (spaces, non-ASCII, a bare '%').

#include "platform/foundation/NSObject.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSURL;
using NSURLPtr = std::shared_ptr<NSURL>;

class NSURL : public NSObject {
public:
    static NSURLPtr URLWithString(const std::string& string);
    static NSURLPtr URLWithString(const std::string& string, const NSURLPtr& baseURL);
    // An absolute URL as a web page's navigation hands it over: characters a URL cannot hold are
    // percent-escaped (as UTF-8 bytes), and a '%' that starts no escape (escape()'s "%u20AC")
    // stays as written, as browsers keep it. Nil without a scheme.
    static NSURLPtr URLWithNavigationText(const std::string& string);
    // A file URL for a device path; "file:///path", percent-escaped; folders end in "/".
    static NSURLPtr fileURLWithPath(const std::string& path);
    static NSURLPtr fileURLWithPath(const std::string& path, bool isDirectory);

    // The full text, resolved against the base URL when there is one.
    std::string absoluteString() const;
    // The text as given (relative to the base URL when there is one).
    const std::string& relativeString() const { return text_; }
    NSURLPtr baseURL() const { return base_; }
    NSURLPtr absoluteURL() const;

    // Components of the resolved URL; empty when absent.
    std::string scheme() const;
    std::string host() const;
    std::optional<int> port() const;
    std::string user() const;
    std::string password() const;
    // Percent-decoded path, without a trailing "/" (but "/" itself); the platform's -path.
    std::string path() const;
    // The raw (still escaped) query and fragment, without "?" and "#"; nullopt when absent.
    std::optional<std::string> query() const;
    std::optional<std::string> fragment() const;
    // Everything after "scheme:".
    std::string resourceSpecifier() const;

    std::string lastPathComponent() const;
    std::string pathExtension() const;
    std::vector<std::string> pathComponents() const;
    bool isFileURL() const;
    NSURLPtr URLByAppendingPathComponent(const std::string& component) const;
    NSURLPtr URLByDeletingLastPathComponent() const;

    std::string description() const override;
    bool isEqual(const NSObject* other) const override;
    std::size_t hash() const override;

    struct Parts {
        std::string scheme;           // lower case, for comparing
        std::string schemeAsWritten;  // as the text had it, for the URL's text
        bool hasAuthority = false;
        std::string user, password, host;
        std::optional<int> port;
        std::string path; // escaped
        std::optional<std::string> query, fragment;
        std::string compose() const;
    };
    NSURL(std::string text, NSURLPtr base, Parts resolved);

private:
    std::string text_;
    NSURLPtr base_;
    Parts parts_;
};
