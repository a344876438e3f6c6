#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::service {

// The files of the site directory, and the one way a request path turns into one of them.
// Nothing outside the directory is ever reached: the path is checked segment by segment (no "..",
// no ".", no hidden names, no empty segments, no backslash, no control character), and the file
// found must still lie inside the directory once symbolic links are resolved. Only file types the
// site is meant to hand out are served (not the shop list, nor anything else lying there).
class SiteFiles {
public:
    enum class Check {
        Found,
        Refused,  // the path tries to leave the site or is malformed
        NotFound, // a sound path without a servable file
    };
    struct Lookup {
        Check check = Check::NotFound;
        std::filesystem::path file;
        std::string contentType;
    };

    // root must exist; it is made canonical once here.
    explicit SiteFiles(const std::filesystem::path& root);

    const std::filesystem::path& root() const { return m_root; }

    // Looks up the file for an already percent-decoded request path ("/start.html").
    Lookup find(std::string_view urlPath) const;

    // True when a request path could only be an attempt to leave the site, or is malformed.
    static bool isUnsafePath(std::string_view urlPath);

    // The content type for a file name, or empty when the site does not serve that type.
    static std::string contentTypeFor(const std::filesystem::path& file);

    // The whole file, or nothing when it cannot be read or is larger than maxBytes.
    static std::optional<std::string> read(const std::filesystem::path& file, std::size_t maxBytes);

private:
    std::filesystem::path m_root;
};

} // namespace velmora::service
