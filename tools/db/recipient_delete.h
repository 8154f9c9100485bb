// Deleting a recipient by PIN (zentrel-db delete). A PIN that no recipient
// has is refused, and so is one that several share unless all are meant:
// deleting the wrong person's entry is not undone by a second try.
#pragma once

#include <string>

namespace zentrel::dbtool {

// Deletes the recipient with `pin` from the file and returns a sentence
// saying whom. Throws ToolError (nothing deleted) when no recipient has the
// PIN, or several do and `all` is false; CDaoException when the file can't
// be opened.
std::string DeleteRecipient(const std::string& db_path, const std::string& pin, bool all);

}  // namespace zentrel::dbtool
