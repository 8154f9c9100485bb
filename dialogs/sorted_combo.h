// A combo box list kept sorted as text, as the program's sorted lists are:
// entries compare without regard to letter case, so "10" comes before "2";
// an entry equal to existing ones goes after them. And the list's prefix
// search: the first entry, from the top, that begins with a text.
#pragma once

#include <QString>

class QComboBox;

namespace zentrel {

// Inserts `text` at its sorted place and returns its index.
int AddSorted(QComboBox& combo, const QString& text);

// Index of the first entry that begins with `prefix` (letter case ignored), or -1.
int FindPrefix(const QComboBox& combo, const QString& prefix);

}  // namespace zentrel
