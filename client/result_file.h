#pragma once
// The result file the dispatcher waits for. It only looks for the exact substrings
// "status": "accepted" and "status": "failure", so their spacing is part of the format.
#include <filesystem>
#include <string>

#include "mail_result.h"

namespace cmail {

std::string result_json(const MailResult& result);

// Written to a temporary name in the same folder, synced and renamed, so the dispatcher
// never reads half a file. Throws std::system_error.
void write_result_file(const std::filesystem::path& path, const MailResult& result);

}  // namespace cmail
