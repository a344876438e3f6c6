#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmora::service {

// One print shop of the directory. Texts are Windows-1255 bytes, as the program stores them.
struct Shop {
    std::string code;             // three digits exactly as the directory shows them ("042")
    bool served = false;          // false: the shop takes no orders through the system
    std::int64_t firstNumber = 0; // first order number handed out for the shop
    std::string name;
    std::string address;
    std::string details; // telephone, opening hours ...
    std::string email;   // empty: the shop has no e-mail
};

// The print shops, read from the site's shops.tsv: one shop a line, seven fields separated by tabs
//   code  served(yes|no)  first-number  name  address  details  e-mail
// Blank lines and lines beginning with '#' are skipped. The file is Windows-1255 like every text
// the service hands out, so its texts go out unchanged.
//
// The program reads the directory field by field (a comma or a line end ends a field, a field
// beginning with a double quote is unquoted), finds the shop code after the first "kod", and
// takes the e-mail address from "EM:" to the end of the field; codes are compared as numbers.
// So a text that holds a comma, a double quote, "kod", "EM:", "***" or "&nb" would garble the
// directory, and two codes with the same value ("042" and "42") would be one shop: the loader
// refuses such a file instead of serving it.
class ShopCatalog {
public:
    static std::variant<ShopCatalog, std::string> load(const std::filesystem::path& file);
    static std::variant<ShopCatalog, std::string> parse(std::string_view text);

    const std::vector<Shop>& shops() const { return m_shops; }
    const Shop* find(std::string_view code) const;

    // The directory page: one record a line (CR LF), then the closing "***" line.
    std::string directoryText() const;
    // «name - address kod042 details EM:address», or «EM:&nbsp;» for a shop without e-mail.
    static std::string directoryRecord(const Shop& shop);

private:
    std::vector<Shop> m_shops;
};

} // namespace velmora::service
