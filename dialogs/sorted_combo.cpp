// Sorted insertion and prefix search over a QComboBox's entries.
#include "dialogs/sorted_combo.h"

#include <QComboBox>

namespace zentrel {

int AddSorted(QComboBox& combo, const QString& text) {
  int index = 0;
  while (index < combo.count() &&
         QString::compare(combo.itemText(index), text, Qt::CaseInsensitive) <= 0) {
    ++index;
  }
  combo.insertItem(index, text);
  return index;
}

int FindPrefix(const QComboBox& combo, const QString& prefix) {
  for (int i = 0; i < combo.count(); ++i) {
    if (combo.itemText(i).startsWith(prefix, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

}  // namespace zentrel
