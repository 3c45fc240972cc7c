#pragma once
// Station catalogues like the shipped mmsDT.dll: a plain SQLite file holding the table radio.
#include <optional>
#include <string>
#include <vector>

namespace qv::kit {

// A row of the table: name, province, link, in UTF-8; nullopt stores NULL.
struct Row {
    std::optional<std::string> name;
    std::optional<std::string> province;
    std::optional<std::string> link;
};

// Writes a catalogue at path, replacing any file there, with the rows in this order. Returns
// what went wrong, empty when all went well.
[[nodiscard]] std::string WriteCatalogue(const std::string& path, const std::vector<Row>& rows);

}  // namespace qv::kit
