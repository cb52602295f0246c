#pragma once
// Finding a job's recipient in the business software's order table "best".
#include <string>
#include <string_view>

namespace orvex::dispatch {

// True when a recipient (trimmed, lower case) names a lookup: it is contained in
// "email e-mail notiz notizfeld". An empty recipient is no lookup.
bool is_lookup_keyword(std::string_view adr);

// The index key: the order number read as a decimal number (digits at the start, like atoi;
// "chnung" is 0), right-aligned in 6 characters.
std::string order_key(std::string_view cAuftrag);

// The address in notes: after the first "email:" (else "e-mail:"), any case, up to the line end,
// taken from the notes as written, trimmed. Empty when there is no marker.
std::string notes_address(std::string_view notiz);

struct Lookup {
  std::string address;  // Windows-1252 bytes, like a job's own recipient; empty on failure
  std::string error;    // German reason when nothing usable was found
  bool ok() const { return error.empty(); }
};

// Opens "best" with its index "xauftrnr" from the working directory (shared, read only),
// seeks the order and reads ansp_ktoi or the notes address, as the keyword says. A missing or
// damaged table or index, an order not found or an empty address give a reason; nothing throws.
Lookup lookup_recipient(std::string_view keyword, std::string_view cAuftrag);

}  // namespace orvex::dispatch
