#include "access_database.h"

namespace korvane::data {

std::unique_ptr<database> open_access_file(const std::string&, std::string& error) {
    error = "Access files are not supported yet";
    return nullptr;
}

}  // namespace korvane::data
