#pragma once
// The type database: file-name extensions and MIME types, read from the host's /etc/mime.types
// (Debian's media-types). A type identifier is opaque text; an extension the database does not
// know gets a dynamic identifier that has no MIME type.

#include <string>

extern const std::string kUTTagClassFilenameExtension; // "public.filename-extension"
extern const std::string kUTTagClassMIMEType;          // "public.mime-type"

// The identifier of the type a tag names (conformingToUTI is not consulted); "" for an empty tag
// or an unknown tag class.
std::string UTTypeCreatePreferredIdentifierForTag(const std::string& tagClass, const std::string& tag,
                                                  const std::string& conformingToUTI = {});
// The preferred tag of the class for the type, or "" when it has none.
std::string UTTypeCopyPreferredTagWithClass(const std::string& identifier, const std::string& tagClass);
